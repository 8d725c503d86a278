#include "json/ScriptNumber.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace lumora::json_detail {

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool HexDigit(char c) { return Digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::size_t DigitsAt(std::string_view s, std::size_t at) {
  std::size_t end = at;
  while (end < s.size() && Digit(s[end])) ++end;
  return end - at;
}

constexpr std::uint32_t kBroken = UINT32_MAX;

// The code point at the front of s and its length in bytes; kBroken for a broken sequence.
std::uint32_t CodePoint(std::string_view s, std::size_t& len) {
  auto b = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  len = b(0) < 0x80 ? 1 : b(0) < 0xC2 ? 0 : b(0) < 0xE0 ? 2 : b(0) < 0xF0 ? 3 : 4;
  if (len == 0 || len > s.size()) return kBroken;
  if (len == 1) return b(0);
  std::uint32_t cp = b(0) & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return kBroken;
    cp = cp << 6 | (b(k) & 0x3F);
  }
  return cp;
}

// White space and line terminators as the engine's Number() skips them.
bool Blank(std::uint32_t cp) {
  switch (cp) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
    case 0xFEFF:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

std::string_view TrimBlanks(std::string_view s) {
  std::size_t len = 0;
  while (!s.empty() && Blank(CodePoint(s, len))) s.remove_prefix(len);
  while (!s.empty()) {
    std::size_t start = s.size() - 1;
    while (start > 0 && s.size() - start < 4 &&
           (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80)
      --start;
    std::string_view last = s.substr(start);
    if (!Blank(CodePoint(last, len)) || len != last.size()) break;
    s.remove_suffix(len);
  }
  return s;
}

// Moves `at` past the exponent part ("e", an optional sign, digits) starting there, if any;
// false for an exponent without digits.
bool SkipExponent(std::string_view s, std::size_t& at) {
  if (at >= s.size() || (s[at] != 'e' && s[at] != 'E')) return true;
  std::size_t sign = at + 1 < s.size() && (s[at + 1] == '+' || s[at + 1] == '-') ? 1 : 0;
  std::size_t digits = DigitsAt(s, at + 1 + sign);
  at += 1 + sign + digits;
  return digits > 0;
}

// Length of a decimal literal as Number() takes it: digits with an optional fraction (either
// side of the point may be empty, not both) and exponent; 0 when there is none.
std::size_t DecimalLength(std::string_view s) {
  std::size_t whole = DigitsAt(s, 0);
  std::size_t at = whole;
  std::size_t fraction = 0;
  if (at < s.size() && s[at] == '.') {
    fraction = DigitsAt(s, at + 1);
    at += 1 + fraction;
  }
  if (whole + fraction == 0 || !SkipExponent(s, at)) return 0;
  return at;
}

}  // namespace

std::size_t JsonNumberLength(std::string_view text) {
  std::size_t at = !text.empty() && text[0] == '-' ? 1 : 0;
  std::size_t whole = DigitsAt(text, at);
  if (whole == 0 || (whole > 1 && text[at] == '0')) return 0;
  at += whole;
  if (at < text.size() && text[at] == '.') {
    std::size_t fraction = DigitsAt(text, at + 1);
    if (fraction == 0) return 0;
    at += 1 + fraction;
  }
  return SkipExponent(text, at) ? at : 0;
}

double LiteralValue(std::string_view literal) {
  // strtod follows the locale's decimal point, and the program runs in the user's locale.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
  std::string text(literal);
  return strtod_l(text.c_str(), nullptr, cLocale);
}

double StringToNumber(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  if (s.empty()) return 0;
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    for (char c : s.substr(2)) {
      if (!HexDigit(c)) return kNaN;
    }
    return LiteralValue(s);
  }
  bool negative = s[0] == '-';
  std::string_view body = s.substr(s[0] == '-' || s[0] == '+' ? 1 : 0);
  if (body == "Infinity") return negative ? -HUGE_VAL : HUGE_VAL;
  if (body.empty() || DecimalLength(body) != body.size()) return kNaN;
  return LiteralValue(s);
}

}  // namespace lumora::json_detail

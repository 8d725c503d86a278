#include "net/UrlEncode.h"

#include <cstdint>

namespace lumora {

namespace {

bool Unreserved(unsigned char c, bool component) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  static constexpr std::string_view kMarks = "-_.!~*'()";
  static constexpr std::string_view kReserved = ";/?:@&=+$,#";
  if (kMarks.find(static_cast<char>(c)) != std::string_view::npos) return true;
  return !component && kReserved.find(static_cast<char>(c)) != std::string_view::npos;
}

// Length of the well-formed UTF-8 sequence at the front of s, or 0.
std::size_t SequenceLength(std::string_view s) {
  auto b = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = b(0);
  std::size_t len = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
  if (len == 0 || len > s.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if (lead == 0xE0 && b(1) < 0xA0) return 0;
  if (lead == 0xED && b(1) >= 0xA0) return 0;
  if (lead == 0xF0 && b(1) < 0x90) return 0;
  if (lead == 0xF4 && b(1) >= 0x90) return 0;
  return len;
}

}  // namespace

std::string UrlEncode(std::string_view text, int mode) {
  if (mode != kEncodeURI && mode != kEncodeURIComponent) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  while (!text.empty()) {
    std::size_t len = SequenceLength(text);
    if (len == 0) return {};
    for (std::size_t i = 0; i < len; ++i) {
      auto c = static_cast<unsigned char>(text[i]);
      if (len == 1 && Unreserved(c, mode == kEncodeURIComponent)) {
        out += static_cast<char>(c);
      } else {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
    }
    text.remove_prefix(len);
  }
  return out;
}

}  // namespace lumora

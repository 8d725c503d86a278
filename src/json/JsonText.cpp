#include "json/JsonText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "json/ScriptNumber.h"

namespace lumora::json_detail {

std::string Unmark(std::string text) {
  std::size_t at = text.find(kBackslashMark);
  if (at == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (; at != std::string::npos; at = text.find(kBackslashMark, from)) {
    out.append(text, from, at - from);
    out += '\\';
    from = at + kBackslashMark.size();
  }
  out.append(text, from);
  return out;
}

std::string Mark(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') {
      out += kBackslashMark;
    } else {
      out += c;
    }
  }
  return out;
}

// Number to text the way script engines write it: shortest round-trip digits, plain notation
// for exponents from -7 to 20, otherwise d.ddde+n.
void AppendDouble(double v, std::string& out) {
  if (std::isnan(v)) {
    out += "NaN";
    return;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-Infinity" : "Infinity";
    return;
  }
  if (v == 0) {
    out += '0';
    return;
  }
  if (v < 0) {
    out += '-';
    v = -v;
  }
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string_view s(buf, res.ptr - buf);
  std::size_t e = s.find('e');
  std::string digits(1, s[0]);
  if (e > 1) digits.append(s.substr(2, e - 2));
  std::string_view expText = s.substr(e + 1);
  if (!expText.empty() && expText[0] == '+') expText.remove_prefix(1);
  int exp = 0;
  std::from_chars(expText.data(), expText.data() + expText.size(), exp);
  int n = exp + 1;
  int k = static_cast<int>(digits.size());
  if (k <= n && n <= 21) {
    out += digits;
    out.append(n - k, '0');
  } else if (0 < n && n <= 21) {
    out.append(digits, 0, n);
    out += '.';
    out.append(digits, n);
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(-n, '0');
    out += digits;
  } else {
    out += digits[0];
    if (k > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'e';
    out += n - 1 >= 0 ? '+' : '-';
    out += std::to_string(std::abs(n - 1));
  }
}

void AppendNumber(const JsonTree& t, const Node& n, std::string& out) {
  // Integers keep their digits, so ids beyond 2^53 survive; "-0" still reads as 0.
  std::string_view digits = View(t, n.text);
  if (!digits.empty() && digits != "-0") {
    out += digits;
  } else {
    AppendDouble(n.number, out);
  }
}

void AppendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

// Length of the unpaired surrogate (ED A0..BF xx) at s[i], else 0.
std::size_t SurrogateAt(std::string_view s, std::size_t i) {
  bool is = i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xED &&
            (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0xA0 &&
            (static_cast<unsigned char>(s[i + 2]) & 0xC0) == 0x80;
  return is ? 3 : 0;
}

}  // namespace

void AppendQuoted(std::string_view s, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  // Runs of plain characters go in whole; most strings have nothing to escape.
  std::size_t from = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\' && c != 0xED) continue;
    std::size_t surrogate = SurrogateAt(s, i);
    if (c == 0xED && !surrogate) continue;
    out.append(s.data() + from, i - from);
    from = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case 0xED: {
        // An unpaired surrogate kept from a \u escape goes out as that escape again.
        auto unit = 0xD000u | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6 |
                    (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 15];
        i += 2;
        from = i + 1;
        break;
      }
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
  out.append(s.data() + from, s.size() - from);
  out += '"';
}

void AppendScriptString(std::string_view s, std::string& out) {
  for (std::size_t at = s.find('\xED'); at != std::string_view::npos; at = s.find('\xED')) {
    std::size_t surrogate = SurrogateAt(s, at);
    std::size_t upTo = surrogate ? at : at + 1;
    out.append(s.data(), upTo);
    if (surrogate) out += "\xEF\xBF\xBD";  // U+FFFD
    s.remove_prefix(upTo + surrogate);
  }
  out += s;
}

namespace {

// JSON text of a defined node (tree depth is bounded by kMaxDepth).
void Stringify(const JsonTree& t, Index i, std::string& out) {
  const Node& n = t.nodes[i];
  switch (n.kind) {
    case Kind::Undefined:
    case Kind::Null:
      out += "null";
      break;
    case Kind::Bool:
      out += n.flag ? "true" : "false";
      break;
    case Kind::Number:
      if (std::isfinite(n.number)) {
        AppendNumber(t, n, out);
      } else {
        out += "null";
      }
      break;
    case Kind::String:
      AppendQuoted(View(t, n.text), out);
      break;
    case Kind::Array:
      out += '[';
      for (std::uint32_t k = 0; k < n.size; ++k) {
        if (k) out += ',';
        Stringify(t, n.first + k, out);
      }
      out += ']';
      break;
    case Kind::Object:
      out += '{';
      for (std::uint32_t k = 0; k < n.size; ++k) {
        if (k) out += ',';
        AppendQuoted(View(t, t.nodes[n.first + k].name), out);
        out += ':';
        Stringify(t, n.first + k, out);
      }
      out += '}';
      break;
  }
}

}  // namespace

std::string JsonText(const JsonTree& t, Index i) {
  if (!Defined(t, i)) return {};
  std::string out;
  Stringify(t, i, out);
  return Unmark(std::move(out));
}

void AppendScriptText(const JsonTree& t, Index i, std::string& out) {
  const Node& n = t.nodes[i];
  switch (n.kind) {
    case Kind::Undefined:
    case Kind::Null:
      break;
    case Kind::Bool:
      out += n.flag ? "true" : "false";
      break;
    case Kind::Number:
      AppendNumber(t, n, out);
      break;
    case Kind::String:
      AppendScriptString(View(t, n.text), out);
      break;
    case Kind::Array:
      for (std::uint32_t k = 0; k < n.size; ++k) {
        if (k) out += ',';
        AppendScriptText(t, n.first + k, out);
      }
      break;
    case Kind::Object:
      out += "[object Object]";
      break;
  }
}

double ScriptNumber(const JsonTree& t, Index i) {
  switch (KindOf(t, i)) {
    case Kind::Null:
      return 0;
    case Kind::Bool:
      return t.nodes[i].flag ? 1 : 0;
    case Kind::Number:
      return t.nodes[i].number;
    case Kind::String:
      return StringToNumber(View(t, t.nodes[i].text));
    case Kind::Array: {
      std::string text;
      AppendScriptText(t, i, text);
      return StringToNumber(text);
    }
    default:
      return std::numeric_limits<double>::quiet_NaN();
  }
}

}  // namespace lumora::json_detail

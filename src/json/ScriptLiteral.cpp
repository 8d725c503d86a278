#include "json/ScriptLiteral.h"

#include <cstdint>

#include "json/JsonText.h"

namespace lumora::json_detail {

std::optional<std::string> DecodeQuoted(std::string_view body) {
  std::string out;
  auto hex = [&body](std::size_t at, int count, std::uint32_t& v) {
    if (at + static_cast<std::size_t>(count) > body.size()) return false;
    v = 0;
    for (int k = 0; k < count; ++k) {
      char c = body[at + static_cast<std::size_t>(k)];
      int d = (c >= '0' && c <= '9')   ? c - '0'
              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                       : -1;
      if (d < 0) return false;
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
  };
  for (std::size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c == '\'' || c == '\n' || c == '\r') return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= body.size()) return std::nullopt;  // the backslash escapes the closing quote
    char e = body[i];
    std::uint32_t v = 0;
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'v':
        out += '\v';
        break;
      case '\n':
        break;  // line continuation
      case '\r':
        if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
        break;
      case 'x':
        if (!hex(i + 1, 2, v)) return std::nullopt;
        AppendUtf8(v, out);
        i += 2;
        break;
      case 'u':
        if (!hex(i + 1, 4, v)) return std::nullopt;
        i += 4;
        if (v >= 0xD800 && v <= 0xDBFF) {
          std::uint32_t low = 0;
          if (i + 2 < body.size() && body[i + 1] == '\\' && body[i + 2] == 'u' &&
              hex(i + 3, 4, low) && low >= 0xDC00 && low <= 0xDFFF) {
            v = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
          } else {
            v = 0xFFFD;
          }
        } else if (v >= 0xDC00 && v <= 0xDFFF) {
          v = 0xFFFD;
        }
        AppendUtf8(v, out);
        break;
      default:
        if (e >= '0' && e <= '7') {  // legacy octal escape
          v = static_cast<std::uint32_t>(e - '0');
          std::size_t max = e <= '3' ? 3 : 2;
          for (std::size_t k = 1;
               k < max && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7'; ++k) {
            v = v * 8 + static_cast<std::uint32_t>(body[++i] - '0');
          }
          AppendUtf8(v, out);
        } else {
          out += e;
        }
    }
  }
  return out;
}

}  // namespace lumora::json_detail

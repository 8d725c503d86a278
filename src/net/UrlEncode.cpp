#include "net/UrlEncode.h"

#include <cstdint>

#include "common/Utf8.h"

namespace lumora {

namespace {

bool Unreserved(unsigned char c, bool component) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  static constexpr std::string_view kMarks = "-_.!~*'()";
  static constexpr std::string_view kReserved = ";/?:@&=+$,#";
  if (kMarks.find(static_cast<char>(c)) != std::string_view::npos) return true;
  return !component && kReserved.find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string UrlEncode(std::string_view text, int mode) {
  if (mode != kEncodeURI && mode != kEncodeURIComponent) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  while (!text.empty()) {
    std::size_t len = Utf8SequenceLength(text, 0);
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

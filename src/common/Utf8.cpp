#include "common/Utf8.h"

namespace lumora {

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at, std::size_t* invalid) {
  std::size_t subpart = 1;
  if (!invalid) invalid = &subpart;
  *invalid = 1;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t need;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < need; ++i) {
    if (at + i >= text.size()) return 0;
    const unsigned char c = byte(i);
    const bool ok = i == 1 ? c >= low && c <= high : c >= 0x80 && c <= 0xBF;
    if (!ok) return 0;
    *invalid = i + 1;
  }
  return need;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8SequenceLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace lumora

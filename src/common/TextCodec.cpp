#include "common/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace lumora {
namespace {

// Length of the valid UTF-8 sequence at the start of `s`, or 0 with `invalidLength` set to the
// length of the maximal invalid subpart (at least 1) that a replacement should cover.
std::size_t validSequenceLength(std::string_view s, std::size_t& invalidLength) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = byte(0);
  invalidLength = 1;
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
    if (i >= s.size()) return 0;
    unsigned char c = byte(i);
    bool ok = (i == 1) ? (c >= low && c <= high) : (c >= 0x80 && c <= 0xBF);
    if (!ok) return 0;
    invalidLength = i + 1;
  }
  return need;
}

// Runs iconv over the input; each sequence it cannot convert becomes "?" and is stepped over by
// `skip(rest)` bytes.
template <typename Skip>
std::string convert(const char* to, const char* from, std::string_view input, Skip skip) {
  std::string out;
  if (input.empty()) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ (unmappable or invalid) or EINVAL (cut short at the end).
    out += '?';
    std::size_t step = skip(std::string_view(in, inLeft));
    in += step;
    inLeft -= step;
  }
  // Flush any shift state (none for these encodings, but cheap).
  char* outPtr = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, outPtr - buffer);
  iconv_close(cd);
  return out;
}

}  // namespace

std::string toValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t invalid = 1;
    std::size_t length = validSequenceLength(bytes.substr(i), invalid);
    if (length > 0) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      out += '?';
      i += invalid;
    }
  }
  return out;
}

std::string utf8ToGbk(std::string_view text) {
  // CP936 rather than plain GBK: it also holds the euro sign at 0x80, like the system code page.
  return convert("CP936", "UTF-8", text, [](std::string_view rest) {
    std::size_t invalid = 1;
    std::size_t length = validSequenceLength(rest, invalid);
    return length > 0 ? length : invalid;
  });
}

std::string utf8ToUtf16Le(std::string_view text) {
  std::string valid = toValidUtf8(text);
  return convert("UTF-16LE", "UTF-8", valid, [](std::string_view) { return std::size_t{1}; });
}

std::string decodeToUtf8(std::string_view bytes, const char* encoding) {
  return convert("UTF-8", encoding, bytes, [](std::string_view) { return std::size_t{1}; });
}

std::string gbkToUtf8(std::string_view bytes) {
  return convert("UTF-8", "CP936", bytes, [](std::string_view) { return std::size_t{1}; });
}

}  // namespace lumora

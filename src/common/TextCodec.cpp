#include "common/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

#include "common/Utf8.h"

namespace lumora {
namespace {

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
    std::size_t length = Utf8SequenceLength(bytes, i, &invalid);
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
    std::size_t length = Utf8SequenceLength(rest, 0, &invalid);
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

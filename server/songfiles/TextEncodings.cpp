#include "songfiles/TextEncodings.h"

#include <iconv.h>

#include <algorithm>

#include "common/Utf8.h"
#include "songfiles/CodePages.h"

namespace lumora::server {

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char* from) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // No character of a code page, Latin-1 or UTF-16 becomes more than four bytes of UTF-8.
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const bool whole = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!whole || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

std::string ReadLatin1TagText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  const bool ascii =
      std::all_of(bytes.begin(), bytes.end(), [](unsigned char c) { return c < 0x80; });
  if (ascii) return std::string(bytes);
  std::optional<CodePageText> eastAsian = ReadEastAsianCodePage(bytes);
  // Some tools put UTF-8 behind the Latin-1 byte; as Latin-1 it would read "BjÃ¶rk". A GBK
  // reading goes first: short GBK texts are now and then valid UTF-8 too.
  if (IsUtf8(bytes) && !(eastAsian && std::string_view(eastAsian->page) == "GBK"))
    return std::string(bytes);
  if (eastAsian) return std::move(eastAsian->utf8);
  return ConvertToUtf8(bytes, "ISO-8859-1").value_or("");
}

std::string ReadableName(std::string_view bytes) {
  return IsUtf8(bytes) ? std::string(bytes) : ReadLatin1TagText(bytes);
}

namespace {

std::string TextFileContent(std::string_view bytes) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  for (auto [bom, from] : {std::pair{"\xFF\xFE", "UTF-16LE"}, std::pair{"\xFE\xFF", "UTF-16BE"}})
    if (starts(bom)) return ConvertToUtf8(bytes.substr(2), from).value_or("");
  if (IsUtf8(bytes)) return std::string(bytes);
  if (std::optional<CodePageText> eastAsian = ReadEastAsianCodePage(bytes))
    return std::move(eastAsian->utf8);
  return ConvertToUtf8(bytes, "ISO-8859-1").value_or("");
}

}  // namespace

std::string DecodeTextFile(std::string_view bytes) { return UnixLineEnds(TextFileContent(bytes)); }

std::string UnixLineEnds(std::string text) {
  std::size_t to = 0;
  for (std::size_t from = 0; from < text.size(); ++from) {
    if (text[from] != '\r') {
      text[to++] = text[from];
    } else if (from + 1 >= text.size() || text[from + 1] != '\n') {
      text[to++] = '\n';
    }
  }
  text.resize(to);
  return text;
}

}  // namespace lumora::server

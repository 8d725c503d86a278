#include "TextEncodings.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>

#include "Text.h"

namespace lumora::server {

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char* from) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // No character of GBK, Latin-1 or UTF-16 becomes more than four bytes of UTF-8.
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

bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool IsPlausibleGbk(std::string_view bytes) {
  auto letter = [&](std::size_t at) {
    return at < bytes.size() && std::isalpha(static_cast<unsigned char>(bytes[at]));
  };
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // A run of two-byte characters, each in GB2312's rows.
    const std::size_t start = i;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80) {
      const auto hi = static_cast<unsigned char>(bytes[i]);
      if (i + 1 >= bytes.size()) return false;
      const auto lo = static_cast<unsigned char>(bytes[i + 1]);
      const bool row = (hi >= 0xA1 && hi <= 0xA9) || (hi >= 0xB0 && hi <= 0xF7);
      if (!row || lo < 0xA1 || lo == 0xFF) return false;
      i += 2;
    }
    if (i - start == 2 && start > 0 && letter(start - 1) && letter(i)) return false;
  }
  return true;
}

std::string ReadLatin1TagText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  const bool ascii =
      std::all_of(bytes.begin(), bytes.end(), [](unsigned char c) { return c < 0x80; });
  if (ascii) return std::string(bytes);
  if (IsPlausibleGbk(bytes))
    if (std::optional<std::string> gbk = ConvertToUtf8(bytes, "GBK")) return *gbk;
  // Some tools put UTF-8 behind the Latin-1 byte; as Latin-1 it would read "BjÃ¶rk".
  if (IsUtf8(bytes)) return std::string(bytes);
  return ConvertToUtf8(bytes, "ISO-8859-1").value_or("");
}

std::string ReadableName(std::string_view bytes) {
  return IsUtf8(bytes) ? std::string(bytes) : ReadLatin1TagText(bytes);
}

std::string DecodeTextFile(std::string_view bytes) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  for (auto [bom, from] : {std::pair{"\xFF\xFE", "UTF-16LE"}, std::pair{"\xFE\xFF", "UTF-16BE"}})
    if (starts(bom)) {
      if (std::optional<std::string> text = ConvertToUtf8(bytes.substr(2), from)) return *text;
      return "";
    }
  if (IsUtf8(bytes)) return std::string(bytes);
  if (std::optional<std::string> gbk = ConvertToUtf8(bytes, "GBK")) return *gbk;
  return ConvertToUtf8(bytes, "ISO-8859-1").value_or("");
}

}  // namespace lumora::server

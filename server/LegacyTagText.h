#pragma once
// Tag text from years of Windows tools: GBK bytes behind ID3's Latin-1 encoding byte. Read as
// Latin-1 they come out as mojibake, so the library reads them as GBK where they are GBK.
#include <optional>
#include <string>
#include <string_view>

namespace lumora::server {

// The UTF-8 text of GBK bytes; nullopt when any byte sequence is not GBK.
std::optional<std::string> StrictGbkToUtf8(std::string_view bytes);

// The UTF-8 reading of a "Latin-1" tag text (cut at its first NUL): plain ASCII as it is, bytes
// that are valid GBK as GBK, anything else as Latin-1.
std::string ReadLatin1TagText(std::string_view bytes);

// From now on TagLib reads ID3v2 Latin-1 frames and ID3v1 tags through ReadLatin1TagText.
void ReadLegacyGbkTags();

}  // namespace lumora::server

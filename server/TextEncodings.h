#pragma once
// Text in a user's library that is not always UTF-8: lyric files in UTF-16 or GBK, file names
// from other systems, tag text behind ID3's Latin-1 byte that older Windows tools filled with
// GBK. Everything comes out as valid UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace lumora::server {

// bytes converted from the iconv encoding from to UTF-8; nullopt when any sequence is not in it.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char* from);

bool IsUtf8(std::string_view bytes);

// Whether bytes read as GBK make plausible Chinese: every two-byte character in GB2312's
// range, and none standing alone between ASCII letters (as a Latin-1 "ção" would).
bool IsPlausibleGbk(std::string_view bytes);

// The UTF-8 reading of a "Latin-1" tag text (cut at its first NUL): plain ASCII as it is,
// plausible GBK as GBK, else valid UTF-8 as it is, anything else as Latin-1.
std::string ReadLatin1TagText(std::string_view bytes);

// A file or folder name as a person can read it: UTF-8 as it is, else as a Latin-1 tag text.
std::string ReadableName(std::string_view bytes);

// A text file's content (a lyric): UTF-8 with or without its BOM, UTF-16 after its BOM, else
// GBK, else Latin-1; the BOM is dropped.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace lumora::server

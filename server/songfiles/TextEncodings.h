#pragma once
// Text in a user's library that is not always UTF-8: lyric files in UTF-16 or an East Asian code
// page, file names from other systems, tag text behind ID3's Latin-1 byte that older Windows
// tools filled with GBK, Big5 or Shift-JIS. Everything comes out as valid UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace lumora::server {

// bytes converted from the iconv encoding from to UTF-8; nullopt when any sequence is not in it.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char* from);

// The UTF-8 reading of a "Latin-1" tag text (cut at its first NUL): plain ASCII as it is, GBK
// where that is the plausible reading (CodePages.h), else valid UTF-8 as it is, else Big5 or
// Shift-JIS where plausible, anything else as Latin-1.
std::string ReadLatin1TagText(std::string_view bytes);

// A file or folder name as a person can read it: UTF-8 as it is, else as a Latin-1 tag text.
std::string ReadableName(std::string_view bytes);

// A text file's content (a lyric): UTF-8 with or without its BOM, UTF-16 after its BOM, else
// the plausible East Asian code page, else Latin-1; the BOM is dropped, and every line ends in
// "\n" whatever it ended in (CR LF, a lone CR).
std::string DecodeTextFile(std::string_view bytes);

// text with CR LF and lone CRs made "\n".
std::string UnixLineEnds(std::string text);

}  // namespace lumora::server

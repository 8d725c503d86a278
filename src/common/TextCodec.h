#pragma once
// Conversions between the program's UTF-8 text and the GBK bytes (code page 936) of the settings
// file and the ID3 text frames, and the check that makes network bytes safe as program text.
#include <string>
#include <string_view>

namespace lumora {

// UTF-8 text to GBK bytes; a character GBK cannot hold, or an invalid UTF-8 sequence, becomes "?".
std::string utf8ToGbk(std::string_view text);

// GBK bytes to UTF-8 text; a byte sequence that is not GBK becomes "?".
std::string gbkToUtf8(std::string_view bytes);

// UTF-8 text to UTF-16 little-endian code units, no byte-order mark; an invalid UTF-8 sequence
// becomes "?".
std::string utf8ToUtf16Le(std::string_view text);

// Bytes in the named encoding (iconv's names: "ISO-8859-1", "UTF-16" with or without its byte-order
// mark, "UTF-16BE") as UTF-8 text; what does not decode becomes "?".
std::string decodeToUtf8(std::string_view bytes, const char* encoding);

// The bytes unchanged when they are valid UTF-8; otherwise every maximal invalid sequence is
// replaced by "?". Overlong forms, surrogates and values above U+10FFFF count as invalid.
std::string toValidUtf8(std::string_view bytes);

}  // namespace lumora

#pragma once

#include <string>
#include <string_view>

namespace lumora {

// Which characters UrlEncode keeps: those the script functions encodeURI and encodeURIComponent
// keep.
enum UrlEncodeMode : int { kEncodeURI = 0, kEncodeURIComponent = 1 };

// Percent-encodes UTF-8 text with uppercase hex, keeping the characters the mode keeps. Text
// that is not valid UTF-8 (those functions reject lone surrogates) and any other mode give the
// empty text.
std::string UrlEncode(std::string_view text, int mode);

}  // namespace lumora

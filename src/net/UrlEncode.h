#pragma once

#include <string>
#include <string_view>

namespace lumora {

// Percent-encodes UTF-8 text with uppercase hex, keeping the characters that encodeURI (mode 0)
// or encodeURIComponent (mode 1) keep. Text that is not valid UTF-8 (those functions reject lone
// surrogates) and any other mode give the empty text.
std::string UrlEncode(std::string_view text, int mode);

}  // namespace lumora

#pragma once
// Where the music API server lives: scheme, host and port, without a trailing slash.
#include <string>

namespace lumora {

// "http://127.0.0.1:3000" unless LUMORA_API_BASE names another server (trailing slashes are
// dropped). Read once, on first use.
const std::string& ApiBaseAddress();

}  // namespace lumora

#pragma once
// What a login request's account and password digest must look like; anything else is a 400.
#include <string>

namespace lumora::server {

// 5 to 15 digits.
bool IsPhone(const std::string& s);
// One "@" with a host name after it, no blanks or control characters.
bool IsEmail(const std::string& s);
// 32 hex digits.
bool IsMd5(const std::string& s);

}  // namespace lumora::server

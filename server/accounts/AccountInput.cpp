#include "accounts/AccountInput.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace lumora::server {

bool IsPhone(const std::string& s) {
  return s.size() >= 5 && s.size() <= 15 &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

// A host name after the "@": dot-separated labels of letters, digits and inner hyphens, at
// least two of them. So "a@b.c&x=1", the leftover of a query that was not encoded, is malformed.
bool IsMailDomain(const std::string& domain) {
  std::size_t labels = 0;
  std::stringstream in(domain + ".");
  std::string label;
  while (std::getline(in, label, '.')) {
    ++labels;
    if (label.empty() || label.front() == '-' || label.back() == '-') return false;
    if (!std::all_of(label.begin(), label.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '-'; }))
      return false;
  }
  return labels >= 2;
}

}  // namespace

bool IsEmail(const std::string& s) {
  std::size_t at = s.find('@');
  if (at == std::string::npos || at == 0 || s.find('@', at + 1) != std::string::npos) return false;
  if (!IsMailDomain(s.substr(at + 1))) return false;
  return std::none_of(s.begin(), s.end(), [](unsigned char c) { return c <= ' ' || c >= 0x7f; });
}

bool IsMd5(const std::string& s) {
  return s.size() == 32 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
         });
}

}  // namespace lumora::server

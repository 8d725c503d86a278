#include "net/ApiBaseAddress.h"

#include <cstdlib>

namespace lumora {

const std::string& ApiBaseAddress() {
  static const std::string address = [] {
    const char* configured = std::getenv("LUMORA_API_BASE");
    std::string text = configured && *configured ? configured : "http://127.0.0.1:3000";
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
  }();
  return address;
}

}  // namespace lumora

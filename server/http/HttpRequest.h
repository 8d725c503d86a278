#pragma once
// What a client asked for, read strictly from what libmicrohttpd hands over: the target split
// into path and parameters, the headers, and the byte range of a file body. Kept apart from
// the server so that a fuzzer reaches all of it.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumora::server {

struct HttpRequest {
  std::string method;
  std::string target;  // as sent: path and query, not decoded
  std::string path;    // decoded path
  std::string query;   // raw query (after "?")
  std::string peer;    // the client's address, e.g. "127.0.0.1"
  std::map<std::string, std::string> params;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string Param(const std::string& name) const;
  bool Has(const std::string& name) const { return params.count(name) != 0; }
  std::string Header(const std::string& lowerName) const;
};

// The longest query a request may carry; longer ones are refused before any work. A
// thousand 64-bit ids fit (two thousand of the demo's); the player asks for at most 500.
inline constexpr std::size_t kMaxQueryBytes = 24 * 1024;
// What one connection may hold for its request line and headers. libmicrohttpd takes all of
// it for every connection, stalled or not, so it is what bounds a connection's memory.
inline constexpr std::size_t kConnectionBytes = 36 * 1024;

// Percent-decodes; "+" stays "+" (the player encodes spaces as %20). Malformed escapes
// are kept literally.
std::string PercentDecode(const std::string& text);

// "a=1&b=x%20y" -> {a:1, b:"x y"}. The first occurrence of a name wins; a value runs to
// the next "&", so an unencoded "lumora_session=..." cookie keeps its "=".
std::map<std::string, std::string> ParseQuery(const std::string& query);

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// Fills req from the request line's parts and the headers in the order received. false
// (with a short reason) for a request to refuse: more than one Content-Length.
bool ReadRequest(std::string method, std::string target, const HeaderList& headers,
                 HttpRequest* req, std::string* reason);

// A Range header over a body of size bytes. Only one "bytes=first-last", "bytes=first-" or
// "bytes=-suffix" is taken; numbers too long for 64 bits saturate, so nothing overflows.
struct ByteRange {
  enum Kind { kWhole, kPart, kUnsatisfiable } kind = kWhole;
  std::int64_t first = 0, last = -1;  // inclusive; set for kPart only
};
ByteRange ParseRange(std::string_view header, std::int64_t size);

// Whether a browser marks the request as made by a page of another origin: Sec-Fetch-Site
// says "cross-site" or "same-site" (another port of this host is another site's page too), or
// Origin names anything but http://<Host>. A client that sends neither is no browser.
bool CrossSite(const HttpRequest& req);

// The target as the log may show it: values of parameters that carry a password or a
// session are replaced by "-".
std::string RedactTarget(std::string_view target);

}  // namespace lumora::server

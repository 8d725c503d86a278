#pragma once
// The one way the program talks HTTP: a synchronous request over libcurl, plus the header and
// cookie routines that belong to it. Bytes travel in std::string (any byte value, including 0).
// A request and a fetch run through the runner their caller hands them, which decides how the
// caller waits; a runner that stops them makes them fail at once.
//
// A request takes the URL and a Parameters struct whose members are the request's optional
// parameters, in their fixed order and with their defaults, so a caller writes
//   HttpClient::Request(url)                       // GET
//   HttpClient::Request(url, {.method = HttpClient::kPost})
//   HttpClient::Request(url, {.cookies = "a=1"}, &outputs)
// The three outputs (returned cookies, headers, status) land in an optional Outputs struct.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/Runners.h"

namespace lumora {

using Bytes = std::string;

namespace HttpClient {

// A libcurl session the caller keeps so that several requests share one connection (and the
// DNS and TLS session caches). Each request resets its options first, so nothing but the live
// connections carries over from one request to the next. Not for use by two threads at once,
// nor by a request that starts while another one that uses it waits.
class RequestObject {
 public:
  RequestObject();
  ~RequestObject();
  RequestObject(const RequestObject&) = delete;
  RequestObject& operator=(const RequestObject&) = delete;

  void* handle() const { return handle_; }  // the CURL easy handle; null when creation failed
  void* driver() const { return driver_; }  // the CURLM that runs it and keeps its connections

 private:
  void* handle_;
  void* driver_;
};

// The request verbs by their numbers; any other number is a GET.
enum Method : int { kGet, kPost, kHead, kPut, kOptions, kDelete, kTrace, kConnect };

struct Parameters {
  // 2: a Method.
  int method = kGet;
  // 3: the body when bodyBytes is empty.
  std::string bodyText{};
  // 4: cookie text to send. Omitted (nullopt) sends no Cookie header and merges nothing; a given
  // empty text still sends a Cookie header with an empty value.
  std::optional<std::string> cookies{};
  // (5 returned cookies: Outputs::cookies)
  // 6: header block (lines separated by CR LF) added to the request.
  std::string extraHeaders{};
  // (7 returned headers: Outputs::headers; 8 returned status: Outputs::status)
  // 9: true leaves redirects unfollowed.
  bool noRedirect = false;
  // 10: sent as the body in place of bodyText when not empty.
  Bytes bodyBytes{};
  // 11: proxy address, host and port; empty goes direct (proxy variables of the environment
  // are not used).
  std::string proxy{};
  // 12: seconds a connection attempt may take and a started exchange may go without moving a
  // byte; 1 or more is taken as is, -1 leaves libcurl's own limits (none for a stalled answer),
  // anything else means 15.
  int timeout = 0;
  // 13, 14: credentials, used only when proxy and proxyUser are both non-empty.
  std::string proxyUser{};
  std::string proxyPassword{};
  // 15: 1 the credentials are for the proxy (a Basic Proxy-Authorization header, sent to the
  // proxy only), 0 for the server (answering its authentication challenge).
  int credentialsTarget = 1;
  // 16: an existing session to use instead of a new one; null makes one for this request.
  RequestObject* requestObject = nullptr;
  // 17: merge the answer's cookies into the given cookie text.
  bool mergeCookies = true;
  // 18: add the default header lines the caller did not give.
  bool completeHeaders = true;
  // 19: capitalise header names.
  bool normaliseHeaderNames = true;
  // How the caller waits for the transfer; never null.
  BlockingRunner* runner = &InPlaceRunner();
};

struct Outputs {
  std::string cookies{};  // 5: cookies the answer set, "name=value; name=value"
  std::string headers{};  // 7: header lines of the final answer, each ending in CR LF
  int status = 0;         // 8: HTTP status of the final answer; 0 when the exchange failed
};

// Sends one request and returns the response body; empty bytes when the exchange failed (no
// connection, time-out, broken or oversized answer, refused certificate). An HTTP error
// status is not a failure here: its body is returned. Writes only to `outputs` when given.
Bytes Request(const std::string& url, const Parameters& parameters = {},
              Outputs* outputs = nullptr);

// The status of a request the server turned away because it does not answer to the name the
// address used (its Host).
inline constexpr int kMisdirectedRequest = 421;

// Largest body a request accepts; a longer answer fails (empty bytes) rather than exhausting
// memory.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 30;

}  // namespace HttpClient

// The bytes as program text: valid UTF-8 passes unchanged, each invalid sequence becomes "?".
std::string BodyText(std::string_view bytes);

// How far a fetch has come, for a window that shows it while it waits: written by the thread
// that transfers, read by any.
struct TransferProgress {
  std::atomic<std::int64_t> received{0};
  std::atomic<std::int64_t> total{-1};  // -1 while the answer has not said
};

// A bare HTTP/1.0 GET; the whole body, or empty bytes on any failure including an HTTP error
// status (400 and above). The caller waits through `runner`.
Bytes UrlFetch(const std::string& url, BlockingRunner& runner = InPlaceRunner(),
               TransferProgress* progress = nullptr);

// Members of `fresh` first, then the members of `old` whose names it does not mention; members
// whose value is "deleted" are dropped, duplicates removed.
std::string MergeCookies(std::string_view old, std::string_view fresh);

// Capitalises the first letter of each "-"-separated part of each header name and drops lines
// without a colon. Lines are separated by CR LF; none is left at the end.
std::string NormaliseHeaderNames(std::string_view block);

// The trimmed text before / after the first colon of a header line; empty without a colon.
std::string HeaderName(std::string_view line);
std::string HeaderValue(std::string_view line);

// The seconds the Retry-After line of a header block asks a client to wait; 0 without one, or
// for one that names a date.
int RetryAfterSeconds(std::string_view headers);

// Standard Base64 (RFC 4648 alphabet, "=" padding).
std::string Base64Encode(std::string_view bytes);

// The cookies set by a block of response headers (its "Set-Cookie" lines), as cookie text.
std::string CollectSetCookies(std::string_view headers);

}  // namespace lumora

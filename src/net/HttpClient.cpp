#include "net/HttpClient.h"

#include <nettle/base64.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <new>
#include <unordered_set>
#include <vector>

#include "common/Text.h"
#include "common/TextCodec.h"
#include "net/CurlLibrary.h"

namespace lumora {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::array<const char*, 8> kVerbs = {"GET",     "POST",   "HEAD",  "PUT",
                                               "OPTIONS", "DELETE", "TRACE", "CONNECT"};
using HttpClient::kConnect, HttpClient::kGet, HttpClient::kHead, HttpClient::kPost,
    HttpClient::kPut;
constexpr long kDefaultTimeoutMs = 15000;
constexpr long kMaxRedirects = 10;
// Far above any real header block; a server sending more is hostile.
constexpr std::size_t kMaxHeaderBytes = std::size_t{1} << 20;

// How often a running exchange looks at its stall clock and at its stop flag: a time-out or a
// stop takes effect within about this long.
constexpr int kWatchMs = 25;

// One exchange's received data and the watch for a stalled peer.
struct Transfer {
  Bytes body;
  std::string headers;  // of the latest answer only; a new status line starts over
  bool failed = false;  // a callback refused the answer (too large, out of memory)
  long stallMs = 0;     // 0: no watch
  Clock::time_point lastProgress = Clock::now();
  curl_off_t lastDown = -1;
  curl_off_t lastUp = -1;
  TransferProgress* progress = nullptr;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  size_t length = size * count;
  if (transfer->body.size() + length > HttpClient::kMaxBodyBytes) {
    transfer->failed = true;
    return 0;
  }
  try {
    transfer->body.append(data, length);
  } catch (const std::bad_alloc&) {
    transfer->failed = true;
    return 0;
  }
  return length;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  size_t length = size * count;
  std::string_view line(data, length);
  if (line.starts_with("HTTP/")) {
    // Interim (1xx), redirect and proxy answers come first; only the last one is kept.
    transfer->headers.clear();
    return length;
  }
  while (line.ends_with('\n') || line.ends_with('\r')) line.remove_suffix(1);
  if (line.empty()) return length;
  if (transfer->headers.size() + line.size() + 2 > kMaxHeaderBytes) {
    transfer->failed = true;
    return 0;
  }
  transfer->headers.append(line);
  transfer->headers.append(kCrLf);
  return length;
}

// True once the exchange has gone stallMs without moving a byte either way.
bool stalled(CURL* curl, Transfer& transfer) {
  curl_off_t down = 0;
  curl_off_t up = 0;
  Curl().easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &down);
  Curl().easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &up);
  if (transfer.progress) {
    curl_off_t total = -1;
    Curl().easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
    transfer.progress->received = down;
    transfer.progress->total = total;
  }
  if (transfer.stallMs <= 0) return false;
  Clock::time_point now = Clock::now();
  if (down != transfer.lastDown || up != transfer.lastUp) {
    transfer.lastDown = down;
    transfer.lastUp = up;
    transfer.lastProgress = now;
    return false;
  }
  auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - transfer.lastProgress);
  return quiet.count() >= transfer.stallMs;
}

// A fresh connection restarts the watch: the connect time-out covered the time before it.
int onConnected(void* user, char*, char*, int, int) {
  static_cast<Transfer*>(user)->lastProgress = Clock::now();
  return CURL_PREREQFUNC_OK;
}

// Options every exchange shares: the callbacks, the safe protocols, no proxy from the
// environment, no signals.
void setCommonOptions(CURL* curl, Transfer& transfer, long timeoutMs) {
  Curl().easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  Curl().easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  Curl().easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  Curl().easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  Curl().easy_setopt(curl, CURLOPT_PROXY, "");
  Curl().easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  Curl().easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  Curl().easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
  Curl().easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  if (timeoutMs > 0) {
    // No overall limit: a long download that keeps moving must finish.
    transfer.stallMs = timeoutMs;
    Curl().easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    Curl().easy_setopt(curl, CURLOPT_PREREQFUNCTION, onConnected);
    Curl().easy_setopt(curl, CURLOPT_PREREQDATA, &transfer);
  }
}

// Drives the exchange itself, so that the stall clock and the stop flag are looked at every
// kWatchMs rather than whenever libcurl next reports progress.
bool perform(const HttpClient::RequestObject& session, Transfer& transfer, const StopFlag& stop) {
  auto* curl = static_cast<CURL*>(session.handle());
  auto* multi = static_cast<CURLM*>(session.driver());
  if (!multi || Curl().multi_add_handle(multi, curl) != CURLM_OK) return false;
  transfer.lastProgress = Clock::now();
  bool done = false;
  CURLcode result = CURLE_OK;
  while (!done && !stop && !stalled(curl, transfer)) {
    int running = 0;
    if (Curl().multi_perform(multi, &running) != CURLM_OK) break;
    int left = 0;
    while (CURLMsg* message = Curl().multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      done = true;
      result = message->data.result;
    }
    if (done || running == 0) break;
    long due = -1;
    Curl().multi_timeout(multi, &due);
    const int waitMs = due >= 0 && due < kWatchMs ? static_cast<int>(due) : kWatchMs;
    Curl().multi_poll(multi, nullptr, 0, waitMs, nullptr);
  }
  Curl().multi_remove_handle(multi, curl);
  if (done && transfer.progress) stalled(curl, transfer);
  return done && result == CURLE_OK && !transfer.failed;
}

class HeaderList {
 public:
  HeaderList() = default;
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() { Curl().slist_free_all(list_); }

  // A header whose name is empty or whose name or value would break the line is not sent.
  void add(std::string_view name, std::string_view value) {
    if (name.empty() || name.find_first_of(std::string_view("\r\n\0:", 4)) != name.npos ||
        value.find_first_of(std::string_view("\r\n\0", 3)) != value.npos) {
      return;
    }
    names_.emplace_back(name);
    // libcurl sends "Name;" as a header with an empty value ("Name:" would remove it).
    std::string line(name);
    line += value.empty() ? ";" : ": ";
    line += value;
    append(line);
  }
  // Keeps libcurl from sending a header of its own under this name.
  void suppress(std::string_view name) {
    for (const std::string& given : names_) {
      if (equalsNoCase(given, name)) return;
    }
    append(std::string(name) + ":");
  }
  curl_slist* get() const { return list_; }

 private:
  void append(const std::string& line) {
    curl_slist* grown = Curl().slist_append(list_, line.c_str());
    if (grown) list_ = grown;
  }
  curl_slist* list_ = nullptr;
  std::vector<std::string> names_;
};

// The caller's header block with the default lines it lacks appended, in their fixed order.
std::string completedHeaders(const std::string& extra, const std::string& url, int method) {
  struct DefaultHeader {
    std::string_view lookedFor;
    std::string line;
  };
  const DefaultHeader defaults[] = {
      {"Accept:", "Accept: */*"},
      {"Referer:", "Referer: " + url},
      {"Accept-Language:", "Accept-Language: zh-cn"},
      {"User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
      {"Content-Type:", "Content-Type: application/x-www-form-urlencoded"},
  };
  std::string block = extra;
  for (const DefaultHeader& row : defaults) {
    if (row.lookedFor == "Content-Type:" && method != kPost) continue;
    // The search runs over the block as it grows, anywhere in it, like the looked-for text.
    if (!containsNoCase(block, row.lookedFor)) {
      block += kCrLf;
      block += row.line;
    }
  }
  return block;
}

long timeoutMilliseconds(int seconds) {
  if (seconds == -1) return 0;
  if (seconds < 1) return kDefaultTimeoutMs;
  long long ms = static_cast<long long>(seconds) * 1000;
  return ms > LONG_MAX ? LONG_MAX : static_cast<long>(ms);
}

}  // namespace

namespace HttpClient {

RequestObject::RequestObject() {
  const CurlLibrary* curl = LoadCurl();
  handle_ = curl ? curl->easy_init() : nullptr;
  driver_ = curl ? curl->multi_init() : nullptr;
}

RequestObject::~RequestObject() {
  if (handle_) Curl().easy_cleanup(static_cast<CURL*>(handle_));
  if (driver_) Curl().multi_cleanup(static_cast<CURLM*>(driver_));
}

}  // namespace HttpClient

namespace {

Bytes exchange(const std::string& url, const HttpClient::Parameters& p,
               HttpClient::Outputs* outputs, const StopFlag& stop) {
  using HttpClient::RequestObject;
  int method = (p.method >= kGet && p.method <= kConnect) ? p.method : kGet;

  std::optional<RequestObject> own;
  if (!p.requestObject) own.emplace();
  const RequestObject& session = p.requestObject ? *p.requestObject : *own;
  auto* curl = static_cast<CURL*>(session.handle());
  if (!curl) return {};
  if (p.requestObject) Curl().easy_reset(curl);

  Transfer transfer;
  setCommonOptions(curl, transfer, timeoutMilliseconds(p.timeout));
  Curl().easy_setopt(curl, CURLOPT_URL, url.c_str());
  Curl().easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  Curl().easy_setopt(curl, CURLOPT_FOLLOWLOCATION, p.noRedirect ? 0L : 1L);
  if (!p.proxy.empty()) Curl().easy_setopt(curl, CURLOPT_PROXY, p.proxy.c_str());

  std::string block = p.extraHeaders;
  if (p.completeHeaders) block = completedHeaders(block, url, method);
  if (p.normaliseHeaderNames) block = NormaliseHeaderNames(block);

  HeaderList headers;
  HeaderList proxyHeaders;
  if (!p.proxy.empty() && !p.proxyUser.empty()) {
    if (p.credentialsTarget == 1) {
      proxyHeaders.add("Proxy-Authorization",
                       "Basic " + Base64Encode(p.proxyUser + ":" + p.proxyPassword));
    } else {
      Curl().easy_setopt(curl, CURLOPT_USERNAME, p.proxyUser.c_str());
      Curl().easy_setopt(curl, CURLOPT_PASSWORD, p.proxyPassword.c_str());
      Curl().easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
  }
  if (p.cookies) {
    std::string cookie = *p.cookies;
    if (!cookie.empty() && containsNoCase(cookie, "Cookie:")) {
      cookie = removeAllNoCase(cookie, "Cookie:");
    }
    headers.add("Cookie", trimText(cookie));
  }
  for (const std::string& line : splitText(block, kCrLf)) {
    std::string name = HeaderName(line);
    std::string value = HeaderValue(line);
    // The connection is libcurl's to manage.
    if (name == "Connection" && value == "keep-alive") continue;
    headers.add(name, value);
  }
  // Nothing goes out that the caller or the defaults did not ask for.
  headers.suppress("Accept");
  headers.suppress("Expect");

  const Bytes& body = p.bodyBytes.empty() ? static_cast<const Bytes&>(p.bodyText) : p.bodyBytes;
  if (method == kHead) {
    Curl().easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else {
    if (method != kGet) Curl().easy_setopt(curl, CURLOPT_CUSTOMREQUEST, kVerbs[method]);
    bool sendsBody = !body.empty() || method == kPost || method == kPut;
    if (sendsBody) {
      if (method == kGet) Curl().easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "GET");
      Curl().easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      Curl().easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
      headers.suppress("Content-Type");
    }
  }
  Curl().easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  if (!p.proxy.empty()) {
    // Proxy lines go to the proxy only, never through a tunnel to the server.
    proxyHeaders.suppress("Proxy-Connection");
    Curl().easy_setopt(curl, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
    Curl().easy_setopt(curl, CURLOPT_PROXYHEADER, proxyHeaders.get());
  }

  int status = 0;
  if (perform(session, transfer, stop)) {
    long code = 0;
    Curl().easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    status = static_cast<int>(code);
  } else {
    transfer.body.clear();
    transfer.headers.clear();
  }
  // A kept session outlives this call: leave no pointer into our lists, body or transfer
  // behind (a reset keeps its live connections).
  if (p.requestObject) Curl().easy_reset(curl);

  if (outputs) {
    std::string cookies = CollectSetCookies(transfer.headers);
    if (p.mergeCookies && p.cookies) cookies = MergeCookies(*p.cookies, cookies);
    outputs->cookies = std::move(cookies);
    outputs->headers = std::move(transfer.headers);
    outputs->status = status;
  }
  return std::move(transfer.body);
}

Bytes fetch(const std::string& url, TransferProgress* progress, const StopFlag& stop) {
  HttpClient::RequestObject session;
  CURL* curl = static_cast<CURL*>(session.handle());
  if (!curl) return {};
  Transfer transfer;
  transfer.progress = progress;
  setCommonOptions(curl, transfer, kDefaultTimeoutMs);
  Curl().easy_setopt(curl, CURLOPT_URL, url.c_str());
  Curl().easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  Curl().easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  Curl().easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  HeaderList headers;
  headers.add("Accept", "*/*");
  Curl().easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  if (!perform(session, transfer, stop)) return {};
  long code = 0;
  Curl().easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
  if (code >= 400) return {};
  return std::move(transfer.body);
}

}  // namespace

namespace HttpClient {

Bytes Request(const std::string& url, const Parameters& parameters, Outputs* outputs) {
  Bytes body;
  parameters.runner->run(
      [&](const StopFlag& stop) { body = exchange(url, parameters, outputs, stop); });
  return body;
}

}  // namespace HttpClient

std::string BodyText(std::string_view bytes) { return toValidUtf8(bytes); }

Bytes UrlFetch(const std::string& url, BlockingRunner& runner, TransferProgress* progress) {
  Bytes body;
  runner.run([&](const StopFlag& stop) { body = fetch(url, progress, stop); });
  return body;
}

std::string MergeCookies(std::string_view old, std::string_view fresh) {
  auto members = [](std::string_view text) {
    std::string trimmed = trimText(text);
    if (trimmed.ends_with(';')) trimmed += ' ';
    return splitText(trimmed, "; ");
  };
  auto nameOf = [](std::string_view member) {
    std::size_t equals = member.find('=');
    return trimText(member.substr(0, equals));
  };
  std::vector<std::string> merged = members(fresh);
  std::unordered_set<std::string> freshNames;
  for (const std::string& member : merged) freshNames.insert(nameOf(member));
  for (std::string& member : members(old)) {
    if (!freshNames.contains(nameOf(member))) merged.push_back(std::move(member));
  }
  std::vector<std::string> kept;
  for (std::string& member : merged) {
    if (!member.ends_with("=deleted")) kept.push_back(std::move(member));
  }
  return RemoveDuplicateMembers(joinText(kept, "; "), "; ");
}

std::string NormaliseHeaderNames(std::string_view block) {
  std::vector<std::string> lines;
  for (std::string& line : splitText(block, kCrLf)) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    bool startOfPart = true;
    for (std::size_t i = 0; i < colon; ++i) {
      char& c = line[i];
      if (startOfPart && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      startOfPart = c == '-';
    }
    lines.push_back(std::move(line));
  }
  return joinText(lines, kCrLf);
}

std::string HeaderName(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return trimText(line.substr(0, colon));
}

std::string HeaderValue(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return trimText(line.substr(colon + 1));
}

int RetryAfterSeconds(std::string_view headers) {
  for (const std::string& line : splitText(headers, kCrLf)) {
    if (!equalsNoCase(HeaderName(line), "Retry-After")) continue;
    const std::string value = HeaderValue(line);
    if (value.empty() || value.size() > 6 ||
        !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); }))
      return 0;
    return std::stoi(value);
  }
  return 0;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
  base64_encode_raw(out.data(), bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  return out;
}

std::string CollectSetCookies(std::string_view headers) {
  std::string collected;
  for (const std::string& line : splitText(headers, kCrLf)) {
    if (TextBefore(line, ": ") != "Set-Cookie") continue;
    if (line.find(';') != std::string::npos) {
      collected += trimText(TextBetween(line, "Set-Cookie:", ";"));
    } else {
      collected += trimText(removeAllNoCase(line, "Set-Cookie:"));
    }
    collected += "; ";
  }
  if (collected.ends_with("; ")) collected.resize(collected.size() - 2);
  return collected;
}

}  // namespace lumora

#include "http/HttpRequest.h"

#include <algorithm>
#include <limits>

#include "common/Text.h"

namespace lumora::server {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecode(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::map<std::string, std::string> ParseQuery(const std::string& query) {
  std::map<std::string, std::string> params;
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string part = query.substr(start, end - start);
    if (!part.empty()) {
      std::size_t eq = part.find('=');
      std::string key = PercentDecode(part.substr(0, eq));
      std::string value = eq == std::string::npos ? "" : PercentDecode(part.substr(eq + 1));
      params.emplace(std::move(key), std::move(value));
    }
    start = end + 1;
  }
  return params;
}

std::string HttpRequest::Param(const std::string& name) const {
  auto it = params.find(name);
  return it == params.end() ? std::string() : it->second;
}

std::string HttpRequest::Header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

bool ReadRequest(std::string method, std::string target, const HeaderList& headers,
                 HttpRequest* req, std::string* reason) {
  req->method = std::move(method);
  req->target = std::move(target);
  std::size_t q = req->target.find('?');
  req->path = PercentDecode(req->target.substr(0, q));
  req->query = q == std::string::npos ? std::string() : req->target.substr(q + 1);
  req->params = ParseQuery(req->query);
  req->headers.clear();
  for (const auto& [name, value] : headers) {
    std::string lower = ToLowerAscii(name);
    // Two lengths make the body's end ambiguous: a proxy in front may have gone by the other.
    if (lower == "content-length" && req->headers.count(lower)) {
      *reason = "more than one Content-Length";
      return false;
    }
    req->headers.emplace(std::move(lower), value);
  }
  return true;
}

namespace {

// Decimal digits only, at least one; a value beyond int64 saturates. -1 when malformed.
std::int64_t ReadPosition(std::string_view text) {
  if (text.empty()) return -1;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    int digit = c - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

}  // namespace

ByteRange ParseRange(std::string_view header, std::int64_t size) {
  ByteRange range;
  if (header.empty()) return range;
  range.kind = ByteRange::kUnsatisfiable;
  constexpr std::string_view kUnit = "bytes=";
  if (header.substr(0, kUnit.size()) != kUnit) return range;
  std::string_view positions = header.substr(kUnit.size());
  std::size_t dash = positions.find('-');
  if (dash == std::string_view::npos) return range;
  std::string_view a = positions.substr(0, dash), b = positions.substr(dash + 1);
  if (a.empty()) {  // the last n bytes
    std::int64_t n = ReadPosition(b);
    if (n <= 0 || size <= 0) return range;
    range.first = size - std::min(n, size);
    range.last = size - 1;
  } else {
    std::int64_t first = ReadPosition(a);
    std::int64_t last = b.empty() ? size - 1 : ReadPosition(b);
    if (first < 0 || last < 0 || first > last || first >= size) return range;
    range.first = first;
    range.last = std::min(last, size - 1);
  }
  range.kind = ByteRange::kPart;
  return range;
}

std::string RedactTarget(std::string_view target) {
  std::size_t q = target.find('?');
  if (q == std::string_view::npos) return std::string(target);
  std::string out(target.substr(0, q + 1));
  std::string_view query = target.substr(q + 1);
  while (true) {
    std::size_t amp = query.find('&');
    std::string_view item = query.substr(0, amp);
    std::size_t eq = item.find('=');
    std::string name = ToLowerAscii(PercentDecode(std::string(item.substr(0, eq))));
    bool secret = eq != std::string_view::npos &&
                  (name == "md5_password" || name == "password" || name == "cookie" ||
                   name == "token" || name.find("session") != std::string::npos);
    out += secret ? std::string(item.substr(0, eq + 1)) + "-" : std::string(item);
    if (amp == std::string_view::npos) break;
    out += '&';
    query = query.substr(amp + 1);
  }
  return out;
}

bool CrossSite(const HttpRequest& req) {
  const std::string site = req.Header("sec-fetch-site");
  if (site == "cross-site" || site == "same-site") return true;
  const std::string origin = req.Header("origin");
  return !origin.empty() && origin != "http://" + req.Header("host");
}

}  // namespace lumora::server

// Arbitrary bytes as a request head the way libmicrohttpd hands it over: "METHOD TARGET" on
// the first line, then "Name: value" lines. Reads it as the server does, ranges a file body
// of a few sizes by its Range header (and by the whole input), and redacts its target.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "common/Text.h"
#include "http/HttpRequest.h"

namespace {

using lumora::server::ByteRange;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckRange(std::string_view header, std::int64_t size) {
  ByteRange r = lumora::server::ParseRange(header, size);
  Check((r.kind == ByteRange::kWhole) == header.empty());
  if (r.kind == ByteRange::kPart) Check(0 <= r.first && r.first <= r.last && r.last < size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view line = input.substr(0, input.find('\n'));
  std::size_t space = line.find(' ');
  std::string method(line.substr(0, space));
  std::string target(space == std::string_view::npos ? "" : line.substr(space + 1));

  lumora::server::HeaderList headers;
  int lengths = 0;
  for (std::size_t at = line.size() + 1; at < input.size();) {
    std::string_view h = input.substr(at, input.find('\n', at) - at);
    at += h.size() + 1;
    std::size_t colon = h.find(':');
    std::string name(h.substr(0, colon));
    std::string value(colon == std::string_view::npos ? "" : h.substr(colon + 1));
    lengths += lumora::ToLowerAscii(name) == "content-length";
    headers.emplace_back(std::move(name), std::move(value));
  }

  lumora::server::HttpRequest req;
  std::string reason;
  bool read = lumora::server::ReadRequest(method, target, headers, &req, &reason);
  Check(read == (lengths <= 1));
  if (read) {
    Check(req.target == target);
    Check(req.path == lumora::server::PercentDecode(target.substr(0, target.find('?'))));
    Check(req.params == lumora::server::ParseQuery(req.query));
    for (std::int64_t s : {std::int64_t{0}, std::int64_t{1}, std::int64_t{419198},
                           std::numeric_limits<std::int64_t>::max()})
      CheckRange(req.Header("range"), s);
  }
  CheckRange(input, static_cast<std::int64_t>(size));

  const std::string shown = lumora::server::RedactTarget(target);
  Check(shown.substr(0, shown.find('?')) == target.substr(0, target.find('?')));
  Check(lumora::server::RedactTarget(shown) == shown);
  std::size_t q = shown.find('?');
  auto params = lumora::server::ParseQuery(q == std::string::npos ? "" : shown.substr(q + 1));
  for (const char* secret : {"md5_password", "cookie", "password", "token"}) {
    auto it = params.find(secret);
    Check(it == params.end() || it->second.empty() || it->second == "-");
  }
  return 0;
}

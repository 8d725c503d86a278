#pragma once
// The answer shapes every route of the music API shares.
#include <string>

#include "api/ApiText.h"
#include "http/HttpServer.h"

namespace lumora::server {

// The HTTP status follows the code; "needs login" (301) goes out as 200, never read as a redirect.
inline void Answer(HttpResponse& res, int code, std::string json) {
  res.Json(code == 301 ? 200 : code, std::move(json));
}

inline void Error(HttpResponse& res, int code, const std::string& msg) {
  Answer(res, code, "{\"code\":" + std::to_string(code) + ",\"msg\":" + JsonQuote(msg) + "}");
}

}  // namespace lumora::server

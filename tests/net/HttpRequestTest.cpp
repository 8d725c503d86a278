// Requests against a loopback server that records the bytes it receives.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/Runners.h"
#include "net/HttpClient.h"
#include "support/RecordingServer.h"
#include "support/WaitFor.h"

namespace lumora {
namespace {

using test::RecordingServer;
using test::requestHeaderLines;
using Lines = std::vector<std::string>;

const std::string kUserAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string hostLine(const RecordingServer& server) {
  return "Host: 127.0.0.1:" + std::to_string(server.port());
}

// The header lines after Host, which libcurl always puts first.
Lines linesAfterHost(const RecordingServer& server, std::size_t index = 0) {
  Lines lines = requestHeaderLines(server.requests().at(index).raw);
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return lines;
  EXPECT_EQ(lines.front(), hostLine(server));
  return Lines(lines.begin() + 1, lines.end());
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(HttpRequest, GetCarriesExactlyTheDefaultLinesInOrder) {
  RecordingServer server;
  std::string url = server.url("/p?q=1");
  HttpClient::Outputs out;
  EXPECT_EQ(HttpClient::Request(url, {}, &out), "ok");
  EXPECT_EQ(out.status, 200);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].raw, "GET /p?q=1 HTTP/1.1\r\n" + hostLine(server) +
                                          "\r\n"
                                          "Accept: */*\r\n"
                                          "Referer: " +
                                          url +
                                          "\r\n"
                                          "Accept-Language: zh-cn\r\n" +
                                          kUserAgent + "\r\n\r\n");
}

TEST(HttpRequest, PostWithEmptyBodyStillGetsContentType) {
  RecordingServer server;
  std::string url = server.url("/login");
  HttpClient::Request(url, {.method = 1});
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].raw,
            "POST /login HTTP/1.1\r\n" + hostLine(server) + "\r\nAccept: */*\r\nReferer: " + url +
                "\r\nAccept-Language: zh-cn\r\n" + kUserAgent +
                "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 0\r\n\r\n");
}

TEST(HttpRequest, MethodsMapOntoVerbsAndOutOfRangeIsGet) {
  const struct {
    int method;
    std::string verb;
  } cases[] = {{0, "GET"},    {1, "POST"},  {2, "HEAD"}, {3, "PUT"}, {4, "OPTIONS"},
               {5, "DELETE"}, {6, "TRACE"}, {8, "GET"},  {-1, "GET"}};
  for (const auto& c : cases) {
    RecordingServer server;
    HttpClient::Outputs out;
    HttpClient::Request(server.url("/m"), {.method = c.method}, &out);
    ASSERT_EQ(server.requests().size(), 1u) << c.method;
    EXPECT_EQ(server.requests()[0].method, c.verb) << c.method;
    EXPECT_EQ(out.status, 200) << c.method;
    Lines lines = linesAfterHost(server);
    bool hasContentType = false;
    for (const std::string& line : lines) hasContentType |= line.starts_with("Content-Type:");
    EXPECT_EQ(hasContentType, c.verb == "POST") << c.method;
  }
}

TEST(HttpRequest, BodyBytesWinOverBodyText) {
  RecordingServer server;
  std::string bytes("a\0b", 3);
  HttpClient::Request(server.url("/"), {.method = 1, .bodyText = "text", .bodyBytes = bytes});
  HttpClient::Request(server.url("/"), {.method = 3, .bodyText = "x=1&y=2"});
  HttpClient::Request(server.url("/"), {.bodyText = "q"});
  ASSERT_EQ(server.requests().size(), 3u);
  EXPECT_EQ(server.requests()[2].method, "GET");
  EXPECT_EQ(server.requests()[2].body, "q");
  EXPECT_EQ(server.requests()[0].body, bytes);
  EXPECT_EQ(server.requests()[1].method, "PUT");
  EXPECT_EQ(server.requests()[1].body, "x=1&y=2");
  // No Content-Type of libcurl's own on a verb other than POST.
  for (const std::string& line : linesAfterHost(server, 1)) {
    EXPECT_FALSE(line.starts_with("Content-Type")) << line;
  }
}

TEST(HttpRequest, HeaderCompletionAndNormalisation) {
  const std::string url = "/h";
  struct Case {
    std::string name;
    HttpClient::Parameters parameters;
    Lines expected;  // after Host; "<url>" stands for the request URL
  };
  const Lines defaults = {"Accept: */*", "Referer: <url>", "Accept-Language: zh-cn", kUserAgent};
  auto with = [&](Lines first, const Lines& rest) {
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
  };
  const Case cases[] = {
      {"lower-case referer suppresses the default one",
       {.extraHeaders = "referer: x"},
       {"Referer: x", "Accept: */*", "Accept-Language: zh-cn", kUserAgent}},
      {"X-Accept suppresses the default Accept",
       {.extraHeaders = "X-Accept: 1"},
       {"X-Accept: 1", "Referer: <url>", "Accept-Language: zh-cn", kUserAgent}},
      {"names are capitalised",
       {.extraHeaders = "content-type: text/plain"},
       with({"Content-Type: text/plain"}, defaults)},
      {"a line without colon is dropped",
       {.extraHeaders = "no colon here\r\nx-a: 1"},
       with({"X-A: 1"}, defaults)},
      {"keep-alive is skipped", {.extraHeaders = "Connection: keep-alive"}, defaults},
      {"close is sent",
       {.extraHeaders = "Connection: close"},
       with({"Connection: close"}, defaults)},
      {"nothing at all without completion", {.completeHeaders = false}, {}},
      {"names as given without normalisation",
       {.extraHeaders = "x-low: 1", .normaliseHeaderNames = false},
       with({"x-low: 1"}, defaults)},
      {"a line that would split the header is not sent",
       {.extraHeaders = "X-A: 1\nX-Evil: 2", .completeHeaders = false},
       {}},
  };
  for (const Case& c : cases) {
    RecordingServer server;
    std::string full = server.url(url);
    HttpClient::Request(full, c.parameters);
    ASSERT_EQ(server.requests().size(), 1u) << c.name;
    Lines expected = c.expected;
    for (std::string& line : expected) {
      if (line == "Referer: <url>") line = "Referer: " + full;
    }
    EXPECT_EQ(linesAfterHost(server), expected) << c.name;
  }
}

TEST(HttpRequest, CookieGivenEmptyOmittedOrWithPrefix) {
  const struct {
    std::optional<std::string> cookies;
    std::optional<std::string> line;  // the Cookie line sent, if any
  } cases[] = {
      {std::nullopt, std::nullopt},       {"", "Cookie:"},
      {"a=1; b=2", "Cookie: a=1; b=2"},   {"Cookie: a=1", "Cookie: a=1"},
      {"a=1\r\nX-Evil: 1", std::nullopt},
  };
  for (const auto& c : cases) {
    RecordingServer server;
    HttpClient::Request(server.url("/"), {.cookies = c.cookies, .completeHeaders = false});
    ASSERT_EQ(server.requests().size(), 1u);
    Lines lines = linesAfterHost(server);
    if (c.line) {
      EXPECT_EQ(lines, Lines{*c.line});
    } else {
      EXPECT_EQ(lines, Lines{}) << c.cookies.value_or("(omitted)");
    }
  }
}

TEST(HttpRequest, CookieComesBeforeTheHeaderLines) {
  RecordingServer server;
  std::string url = server.url("/");
  HttpClient::Request(url, {.cookies = "a=1", .extraHeaders = "X-A: 1"});
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(linesAfterHost(server),
            (Lines{"Cookie: a=1", "X-A: 1", "Accept: */*", "Referer: " + url,
                   "Accept-Language: zh-cn", kUserAgent}));
}

TEST(HttpRequest, ReturnsTheCookiesTheAnswerSetMergedWhenGiven) {
  RecordingServer server([](const RecordingServer::Request&) {
    return RecordingServer::ok("ok", {"Set-Cookie: a=1; Path=/", "Set-Cookie: b=2"});
  });
  const struct {
    HttpClient::Parameters parameters;
    std::string cookies;
  } cases[] = {
      {{}, "a=1; b=2"},
      {{.cookies = "b=0; c=3"}, "a=1; b=2; c=3"},
      {{.cookies = "b=0; c=3", .mergeCookies = false}, "a=1; b=2"},
  };
  for (const auto& c : cases) {
    HttpClient::Outputs out;
    EXPECT_EQ(HttpClient::Request(server.url("/"), c.parameters, &out), "ok");
    EXPECT_EQ(out.cookies, c.cookies);
    EXPECT_NE(out.headers.find("Set-Cookie: a=1; Path=/\r\n"), std::string::npos);
    EXPECT_EQ(out.headers.find("HTTP/1.1"), std::string::npos);
  }
}

TEST(HttpRequest, AnErrorStatusStillReturnsItsBody) {
  RecordingServer server([](const RecordingServer::Request&) {
    RecordingServer::Answer answer;
    answer.bytes = RecordingServer::response(500, {"X-Why: broken"}, "server error");
    return answer;
  });
  HttpClient::Outputs out;
  EXPECT_EQ(HttpClient::Request(server.url("/"), {}, &out), "server error");
  EXPECT_EQ(out.status, 500);
  EXPECT_NE(out.headers.find("X-Why: broken\r\n"), std::string::npos);
}

TEST(HttpRequest, RedirectsAreFollowedUnlessSwitchedOff) {
  RecordingServer server([](const RecordingServer::Request& request) {
    RecordingServer::Answer answer;
    if (request.target == "/a") {
      answer.bytes = RecordingServer::response(302, {"Location: /b", "Set-Cookie: r=1"}, "moved");
    } else {
      answer.bytes = RecordingServer::response(200, {"X-Final: yes"}, "final");
    }
    return answer;
  });
  HttpClient::Outputs out;
  EXPECT_EQ(HttpClient::Request(server.url("/a"), {}, &out), "final");
  EXPECT_EQ(out.status, 200);
  EXPECT_NE(out.headers.find("X-Final: yes"), std::string::npos);
  EXPECT_EQ(out.headers.find("Location"), std::string::npos);
  EXPECT_EQ(out.cookies, "");

  EXPECT_EQ(HttpClient::Request(server.url("/a"), {.noRedirect = true}, &out), "moved");
  EXPECT_EQ(out.status, 302);
  EXPECT_EQ(out.cookies, "r=1");
  ASSERT_EQ(server.requests().size(), 3u);
  EXPECT_EQ(server.requests()[1].target, "/b");
}

TEST(HttpRequest, AServerThatNeverAnswersEndsAfterTheTimeout) {
  RecordingServer server([](const RecordingServer::Request&) {
    RecordingServer::Answer answer;
    answer.neverAnswer = true;
    return answer;
  });
  HttpClient::Outputs out;
  out.status = -7;
  out.headers = "stale";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpClient::Request(server.url("/"), {.timeout = 1}, &out), "");
  double seconds = secondsSince(start);
  EXPECT_GE(seconds, 0.9);  // it waited rather than failing at once
  EXPECT_LT(seconds, 30.0);
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.headers, "");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(HttpRequest, TimeoutCasesAgainstADelayedAnswer) {
  const struct {
    int timeout;
    int delayMs;
    bool answered;
  } cases[] = {
      {1, 3000, false},  // one second of silence ends it
      {0, 2000, true},   // 0 means fifteen seconds
      {-1, 2000, true},  // libcurl's own limits: no stall watch at all
      {5, 2000, true},
  };
  for (const auto& c : cases) {
    RecordingServer server([&](const RecordingServer::Request&) {
      RecordingServer::Answer answer = RecordingServer::ok("late");
      answer.delayMs = c.delayMs;
      return answer;
    });
    EXPECT_EQ(HttpClient::Request(server.url("/"), {.timeout = c.timeout}),
              c.answered ? "late" : "")
        << c.timeout;
  }
}

TEST(HttpRequest, ASlowButSteadyDownloadOutlastsTheTimeout) {
  std::string body(2000, 'x');
  RecordingServer server([&](const RecordingServer::Request&) {
    RecordingServer::Answer answer = RecordingServer::ok(body);
    answer.chunkBytes = 100;  // about 2.5 s in all, never more than 150 ms without a byte
    answer.chunkPauseMs = 120;
    return answer;
  });
  EXPECT_EQ(HttpClient::Request(server.url("/"), {.timeout = 1}), body);
}

// Hands the work to a thread of its own and, once `due` holds, tells it to stop: what the window
// does when it closes in the middle of a transfer.
struct StoppingRunner : BlockingRunner {
  explicit StoppingRunner(std::function<bool()> due) : due(std::move(due)) {}
  void run(const BlockingWork& work) override {
    StopFlag stop{false};
    std::thread worker([&] { work(stop); });
    test::waitFor(due, std::chrono::seconds(30));
    stop = true;
    worker.join();
  }
  std::function<bool()> due;
};

// Both would run for twenty seconds (the request without any time-out) and then succeed; a stop
// ends them with nothing, after the fetch has said how far it came.
TEST(HttpRequest, AStopEndsARunningExchangeWithNothing) {
  const std::string body(100, 'x');
  RecordingServer server([&](const RecordingServer::Request&) {
    RecordingServer::Answer answer = RecordingServer::ok(body);
    answer.chunkBytes = 1;
    answer.chunkPauseMs = 200;
    return answer;
  });
  TransferProgress progress;
  const struct {
    const char* name;
    std::function<Bytes(BlockingRunner&)> send;
    std::function<bool()> due;
  } cases[] = {
      {"request",
       [&](BlockingRunner& runner) {
         return HttpClient::Request(server.url("/"), {.timeout = -1, .runner = &runner});
       },
       [&] { return !server.requests().empty(); }},
      {"fetch",
       [&](BlockingRunner& runner) { return UrlFetch(server.url("/"), runner, &progress); },
       [&] { return progress.received > 0; }},
  };
  for (const auto& c : cases) {
    StoppingRunner runner(c.due);
    EXPECT_EQ(c.send(runner), "") << c.name;
  }
  EXPECT_EQ(progress.total, 100);
  EXPECT_GT(progress.received, 0);
  EXPECT_LT(progress.received, 100);
}

TEST(HttpRequest, AFiftyMegabyteBodyArrivesWhole) {
  std::string body(50u << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) >> 7);
  RecordingServer server([&](const RecordingServer::Request&) {
    return RecordingServer::ok(body, {"Content-Type: audio/mpeg"});
  });
  Bytes received = HttpClient::Request(server.url("/song.mp3"));
  ASSERT_EQ(received.size(), body.size());
  EXPECT_TRUE(received == body);
}

TEST(HttpRequest, HostileAnswersFailCleanly) {
  const struct {
    std::string name;
    RecordingServer::Answer answer;
  } cases[] = {
      {"dropped halfway",
       {.bytes = RecordingServer::response(200, {}, std::string(1000, 'b')), .dropAfter = 600}},
      {"a header line of a megabyte",
       {.bytes = RecordingServer::response(200, {"X-Big: " + std::string(1 << 20, 'h')}, "b")}},
      {"not HTTP at all", {.bytes = "\x16\x03\x01 garbage\r\n\r\n"}},
      {"closed without a byte", {.bytes = "", .dropAfter = 0}},
  };
  for (const auto& c : cases) {
    RecordingServer server([&](const RecordingServer::Request&) { return c.answer; });
    HttpClient::Outputs out;
    EXPECT_EQ(HttpClient::Request(server.url("/"), {.timeout = 5}, &out), "") << c.name;
    EXPECT_EQ(out.headers, "") << c.name;
    EXPECT_EQ(out.status, 0) << c.name;
  }
}

TEST(HttpRequest, ThousandsOfSetCookieLinesAreAllCollected) {
  std::vector<std::string> headers;
  for (int i = 0; i < 3000; ++i) headers.push_back("Set-Cookie: c" + std::to_string(i) + "=v");
  RecordingServer server(
      [&](const RecordingServer::Request&) { return RecordingServer::ok("ok", headers); });
  HttpClient::Outputs out;
  EXPECT_EQ(HttpClient::Request(server.url("/"), {.cookies = "old=1"}, &out), "ok");
  EXPECT_TRUE(out.cookies.starts_with("c0=v; c1=v; "));
  EXPECT_TRUE(out.cookies.ends_with("c2999=v; old=1"));
  EXPECT_EQ(std::count(out.cookies.begin(), out.cookies.end(), ';'), 3000);
}

TEST(HttpRequest, AKeptRequestObjectSharesOneConnection) {
  RecordingServer server([](const RecordingServer::Request&) {
    RecordingServer::Answer answer = RecordingServer::ok("ok");
    answer.keepOpen = true;
    return answer;
  });
  HttpClient::RequestObject session;
  HttpClient::Outputs out;
  EXPECT_EQ(HttpClient::Request(server.url("/1"), {.requestObject = &session}, &out), "ok");
  // Options of the first request must not leak into the second.
  EXPECT_EQ(HttpClient::Request(server.url("/2"),
                                {.method = 1, .cookies = "a=1", .requestObject = &session}, &out),
            "ok");
  EXPECT_EQ(HttpClient::Request(server.url("/3"), {.requestObject = &session}, &out), "ok");
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(server.connectionCount(), 1);
  EXPECT_EQ(requests[2].method, "GET");
  EXPECT_EQ(requests[2].raw.find("Cookie"), std::string::npos);
}

TEST(HttpRequest, ProxyCredentialsGoToTheProxyOnly) {
  RecordingServer proxy;
  HttpClient::Parameters parameters{.completeHeaders = false};
  parameters.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  parameters.proxyUser = "user";
  parameters.proxyPassword = "pass";
  EXPECT_EQ(HttpClient::Request("http://lumora.invalid/x", parameters), "ok");
  parameters.credentialsTarget = 0;
  EXPECT_EQ(HttpClient::Request("http://lumora.invalid/y", parameters), "ok");
  auto requests = proxy.requests();
  ASSERT_EQ(requests.size(), 2u);
  // Nothing of libcurl's own (such as Proxy-Connection) joins the lines.
  EXPECT_EQ(requests[0].raw,
            "GET http://lumora.invalid/x HTTP/1.1\r\nHost: lumora.invalid\r\n"
            "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n");
  EXPECT_EQ(requests[1].raw.find("Authorization"), std::string::npos);
}

TEST(HttpRequest, UnreachableOrUnsupportedGivesEmptyBytes) {
  int closedPort;
  {
    RecordingServer gone;
    closedPort = gone.port();
  }
  for (const std::string& url : {"http://127.0.0.1:" + std::to_string(closedPort) + "/",
                                 std::string("file:///etc/passwd"), std::string("not a url")}) {
    HttpClient::Outputs out;
    EXPECT_EQ(HttpClient::Request(url, {.timeout = 2}, &out), "") << url;
    EXPECT_EQ(out.status, 0) << url;
  }
}

TEST(UrlFetch, SendsABareHttp10GetAndReturnsTheBody) {
  RecordingServer server([](const RecordingServer::Request& request) {
    RecordingServer::Answer answer;
    if (request.target == "/old") {
      answer.bytes = RecordingServer::response(301, {"Location: /pic.jpg"}, "");
    } else if (request.target == "/pic.jpg") {
      answer.bytes = RecordingServer::response(200, {}, std::string("\xFF\xD8\0jpeg", 7));
    } else {
      answer.bytes = RecordingServer::response(404, {}, "not found");
    }
    return answer;
  });
  EXPECT_EQ(UrlFetch(server.url("/pic.jpg")), std::string("\xFF\xD8\0jpeg", 7));
  EXPECT_EQ(server.requests().at(0).raw,
            "GET /pic.jpg HTTP/1.0\r\n" + hostLine(server) +
                "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                "Accept: */*\r\n\r\n");
  EXPECT_EQ(UrlFetch(server.url("/old")), std::string("\xFF\xD8\0jpeg", 7));
  EXPECT_EQ(UrlFetch(server.url("/missing")), "");
  EXPECT_EQ(UrlFetch("file:///etc/passwd"), "");
}

}  // namespace
}  // namespace lumora

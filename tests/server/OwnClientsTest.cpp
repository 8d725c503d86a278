// The server acts only for its own clients: a request naming another host is refused, a page
// of another site cannot act on the account, and password guessers gain nothing from
// parallel connections.

#include <algorithm>
#include <functional>
#include <future>

#include "RawHttp.h"
#include "ServerTestUtil.h"
#include "accounts/LoginThrottle.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

std::string Status(const std::string& answer) { return answer.substr(9, 3); }

// "POST target" from address from, with the extra header lines, closed after the answer.
std::string Ask(int port, const char* from, const std::string& target,
                const std::string& extra = "", const std::string& host = "127.0.0.1") {
  return Exchange(port, from,
                  "POST " + target + " HTTP/1.1\r\nHost: " + host + ":" + std::to_string(port) +
                      "\r\n" + extra + "Connection: close\r\nContent-Length: 0\r\n\r\n");
}

using OwnClients = ServerTest;

TEST_F(OwnClients, OtherHostsAndOtherSitesPagesGetNoAction) {
  const int port = server_->port();
  const std::string self = "http://127.0.0.1:" + std::to_string(port);
  const std::string cookie = LoginCookie("13800000010");
  const std::string like = "/like?timestamp=1&cookie=" + UrlEncode(cookie, 1) + "&id=";
  const struct Case {
    const char* what;
    std::string target, extra, host, status;
  } cases[] = {
      {"another name", "/top/playlist?limit=1", "", "evil.example", "421"},
      {"a name's address", "/top/playlist?limit=1", "", "127.0.0.1.evil.example", "421"},
      {"localhost", "/top/playlist?limit=1", "", "localhost", "200"},
      {"like from another origin", like + "1000004", "Origin: http://evil.example\r\n", "127.0.0.1",
       "403"},
      {"like from another port", like + "1000004", "Origin: http://127.0.0.1:1\r\n", "127.0.0.1",
       "403"},
      {"like marked cross-site", like + "1000004", "Sec-Fetch-Site: cross-site\r\n", "127.0.0.1",
       "403"},
      {"logout marked cross-site", "/logout?cookie=" + UrlEncode(cookie, 1),
       "Sec-Fetch-Site: cross-site\r\n", "127.0.0.1", "403"},
      {"login from another origin",
       "/login/cellphone?phone=13800000010&md5_password=98a6619f9bc9cdd67e27e884d758da4b",
       "Origin: null\r\n", "127.0.0.1", "403"},
      {"like from its own page", like + "1000005",
       "Origin: " + self + "\r\nSec-Fetch-Site: same-origin\r\n", "127.0.0.1", "200"},
  };
  for (const Case& c : cases) {
    const std::string answer = Ask(port, "127.0.0.1", c.target, c.extra, c.host);
    EXPECT_EQ(Status(answer), c.status) << c.what << ": " << answer;
    EXPECT_EQ(CodeOf(answer), c.status) << c.what;
    EXPECT_EQ(answer.find("evil"), std::string::npos) << c.what;
  }
  // The session lives on and holds only the like of its own page.
  ASSERT_EQ(Get("/playlist/detail?id=" + std::to_string(7000000000ull + 1010)), 200);
  EXPECT_NE(body_.find("{\"id\":1000005}"), std::string::npos) << body_;
  EXPECT_EQ(body_.find("{\"id\":1000004}"), std::string::npos) << body_;
  ASSERT_EQ(Get("/personal_fm?timestamp=1&cookie=" + UrlEncode(cookie, 1)), 200);
  EXPECT_EQ(Code(), 200);
  // The browser keeps the cookie to this site's own pages.
  const std::string login =
      Ask(port, "127.0.0.1",
          "/login/cellphone?phone=13800000010&md5_password=98a6619f9bc9cdd67e27e884d758da4b");
  EXPECT_NE(login.find("; SameSite=Strict"), std::string::npos) << login;
}

// Logins sent at once; their answers' codes.
std::vector<std::string> AtOnce(
    int port, const std::vector<std::pair<std::string, std::string>>& fromAndTarget) {
  std::vector<std::future<std::string>> answers;
  for (const auto& [from, target] : fromAndTarget)
    answers.push_back(std::async(std::launch::async, [port, from, target] {
      return CodeOf(Ask(port, from.c_str(), target));
    }));
  std::vector<std::string> codes;
  for (auto& a : answers) codes.push_back(a.get());
  return codes;
}

std::string LoginTarget(const std::string& phone, bool right) {
  return "/login/cellphone?timestamp=1&phone=" + phone + "&md5_password=" +
         (right ? "98a6619f9bc9cdd67e27e884d758da4b" : "00000000000000000000000000000000");
}

TEST(LoginThrottle, CountsAttemptsNotSequences) {
  ServerProcess server;
  ASSERT_TRUE(server.start()) << server.errors();
  const int port = server.port();
  // 127.0.0.2 tries one password on ten accounts, 127.0.0.3 guesses one of them ten times: the
  // address and the account are now paced.
  for (int i = 0; i < 10; ++i) {
    const std::string account = i == 0 ? "13800000001" : "139000001" + std::to_string(10 + i);
    ASSERT_NE(CodeOf(Ask(port, "127.0.0.2", LoginTarget(account, false))), "429");
    ASSERT_EQ(CodeOf(Ask(port, "127.0.0.3", LoginTarget("13800000001", false))), "502");
  }

  // Six logins at once: from the address to six accounts, or to the account from six addresses.
  const struct Case {
    const char* what;
    std::function<std::pair<std::string, std::string>(int)> login;
  } cases[] = {
      {"one address, six accounts",
       [](int i) {
         return std::pair{"127.0.0.2", LoginTarget("1390000000" + std::to_string(i), false)};
       }},
      {"one account, six addresses",
       [](int i) {
         return std::pair{"127.0.0." + std::to_string(4 + i), LoginTarget("13800000001", false)};
       }},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, std::string>> logins;
    for (int i = 0; i < 6; ++i) logins.push_back(c.login(i));
    const auto codes = AtOnce(port, logins);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "429"), 5) << c.what;
    EXPECT_EQ(std::count_if(codes.begin(), codes.end(),
                            [](const std::string& code) { return code == "501" || code == "502"; }),
              1)
        << c.what;
  }

  // A client that gives up while its right password is held leaves no session behind.
  int gaveUp = Connect(port, "127.0.0.9");
  ASSERT_GE(gaveUp, 0);
  const std::string held = "POST " + LoginTarget("13800000001", true) +
                           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n";
  send(gaveUp, held.data(), held.size(), MSG_NOSIGNAL);
  close(gaveUp);
  // One that waits gets its session (once the held logins before it are done with).
  std::string later;
  ASSERT_TRUE(waitFor(
      [&] {
        later = CodeOf(Ask(port, "127.0.0.11", LoginTarget("13800000001", true)));
        return later == "200";
      },
      std::chrono::seconds(30)))
      << later;
  ASSERT_EQ(server.stop(), 0);
  EXPECT_EQ(CountStored(server.dataDir(), "SELECT count(*) FROM sessions WHERE uid = 1001"), 1);
}

// A guesser's pace is its own: other people's typos, a guesser elsewhere or many guessers do not
// refuse the owner's right password, while spreading the guesses over addresses or accounts
// gains a guesser nothing, and a refusal says when to come back. Each row starts afresh.
TEST(LoginThrottle, PacesEachGuesserWithoutLockingTheOwnerOut) {
  using server::LoginThrottle;
  enum What { Fail, Succeed, Keep, Probe };
  struct Step {
    What what;
    std::string peer, account;
    // Of a probe: whether it begins and is held before its password is looked at, or else
    // within how long it may come back.
    bool begins = true, held = false;
    int retryWithinMs = 0;
  };
  using Steps = std::vector<Step>;
  // `times` steps; a "#" in the address or the account stands for the step's number divided by
  // `per`, so that each of several guessers takes `per` steps in turn.
  auto repeat = [](What what, int times, const std::string& peer, const std::string& account,
                   int per = 1) {
    Steps steps;
    for (int i = 0; i < times; ++i) {
      auto at = [&](std::string text) {
        if (const auto hash = text.find('#'); hash != std::string::npos)
          text.replace(hash, 1, std::to_string(i / per));
        return text;
      };
      steps.push_back({what, at(peer), at(account)});
    }
    return steps;
  };
  auto join = [](std::initializer_list<Steps> parts) {
    Steps all;
    for (const Steps& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  const int free = LoginThrottle::kFreeFailures;
  const std::string owner = "13800000001";
  const Step ownerProbe{Probe, "10.0.0.1", owner};
  const struct Case {
    const char* what;
    Steps steps;
  } cases[] = {
      {"others' typos at the owner's address",
       join({repeat(Fail, 15, "10.0.0.1", "13800000002"), {ownerProbe}})},
      {"the owner's own few typos", join({repeat(Fail, 9, "10.0.0.1", owner), {ownerProbe}})},
      {"a guesser at another address",
       join({repeat(Fail, 15, "10.0.0.2", owner), {ownerProbe, ownerProbe}})},
      {"the guesser's own pace",
       join({repeat(Fail, free, "10.0.0.2", owner),
             {{Probe, "10.0.0.2", owner, true, true},
              {Probe, "10.0.0.2", owner, false, false, LoginThrottle::kFirstDelayMs},
              {Probe, "10.0.0.2", "13800000002"}}})},
      {"one account guessed from many addresses",
       join({repeat(Fail, free, "10.1.0.#", owner),
             {{Probe, "10.0.0.1", owner, true, true}, {Probe, "10.0.0.3", owner, false}}})},
      {"the owner known from an earlier login", join({{{Succeed, "10.0.0.1", owner}},
                                                      repeat(Fail, 12, "10.1.0.#", owner),
                                                      {ownerProbe, ownerProbe}})},
      {"one password tried on many accounts", join({repeat(Fail, free, "10.0.0.2", "1390000000#"),
                                                    {{Probe, "10.0.0.2", "13800000002", true, true},
                                                     {Probe, "10.0.0.2", "13800000003", false},
                                                     ownerProbe}})},
      {"two under way from one address", join({repeat(Keep, 2, "10.0.0.2", "1390000000#"),
                                               {{Probe, "10.0.0.2", owner, false, false, 1000}}})},
      {"held guessers leave room for the owner",
       join({repeat(Fail, 16 * free, "10.1.0.#", "139000010#", free),
             repeat(Keep, LoginThrottle::kInFlight, "10.1.0.#", "139000010#"),
             {ownerProbe}})},
  };
  for (const Case& c : cases) {
    LoginThrottle throttle;
    std::vector<std::shared_ptr<LoginThrottle::Attempt>> kept;
    for (const Step& step : c.steps) {
      const auto [attempt, retryAfterMs] = throttle.Begin(step.peer, step.account);
      if (step.what == Probe) {
        EXPECT_EQ(attempt != nullptr, step.begins) << c.what << ": " << step.peer;
        EXPECT_EQ(attempt && attempt->delayMs > 0, step.held) << c.what << ": " << step.peer;
        if (step.retryWithinMs) {
          EXPECT_GT(retryAfterMs, 0) << c.what;
          EXPECT_LE(retryAfterMs, step.retryWithinMs) << c.what;
        }
      }
      if (attempt && step.what == Fail) attempt->Failed();
      if (attempt && step.what == Succeed) attempt->Succeeded();
      if (attempt && step.what == Keep) kept.push_back(attempt);
    }
  }
}

}  // namespace
}  // namespace lumora::test

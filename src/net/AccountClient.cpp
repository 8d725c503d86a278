#include "net/AccountClient.h"

#include <nettle/md5.h>
#include <string.h>

#include <utility>

#include "common/TextCodec.h"
#include "net/ApiClient.h"
#include "net/UrlEncode.h"

namespace lumora {

std::string PasswordDigest(std::string_view password) {
  std::string bytes = utf8ToGbk(password);
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&context, sizeof digest, digest);
  // The password's copies made here go as soon as the digest is taken.
  explicit_bzero(bytes.data(), bytes.size());
  explicit_bzero(&context, sizeof context);

  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * MD5_DIGEST_SIZE);
  for (std::uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0f];
  }
  return text;
}

std::string LoginTarget(LoginMode mode, std::string_view account, std::string_view digest,
                        std::string_view timestamp) {
  std::string target;
  if (mode == LoginMode::Phone) target = "/login/cellphone?phone=";
  if (mode == LoginMode::Email) target = "/login?email=";
  if (target.empty()) return target;
  target += UrlEncode(account, kEncodeURIComponent);
  target += "&md5_password=";
  target += digest;
  target += "&timestamp=";
  target += timestamp;
  return target;
}

AccountClient::AccountClient(std::string baseAddress, BlockingRunner& runner, Session start)
    : session_(std::move(start)), baseAddress_(std::move(baseAddress)), runner_(runner) {}

std::string AccountClient::Login(LoginMode mode, std::string_view account,
                                 std::string_view password) {
  const std::string target = LoginTarget(mode, account, PasswordDigest(password), MakeTimestamp());
  if (target.empty()) return {};
  HttpClient::Outputs answer;
  const Bytes body = HttpClient::Request(
      baseAddress_ + target, {.method = HttpClient::kPost, .runner = &runner_}, &answer);
  loginRetryAfter_ = RetryAfterSeconds(answer.headers);
  if (!accountJson_.Parse(BodyText(body))) return {};
  const std::string code = accountJson_.GetSubDocument("code").ToText();
  session_.cookie = accountJson_.GetText("cookie");
  session_.accountId = accountJson_.GetSubDocument("account.id").ToText();
  session_.nickname = accountJson_.GetText("profile.nickname");
  session_.avatarUrl = accountJson_.GetText("profile.avatarUrl");
  session_.vipType = accountJson_.GetSubDocument("account.vipType").ToText();
  return code;
}

void AccountClient::LoadAccountPlaylists(const std::string& accountId) {
  if (session_.cookie.empty()) return;
  if (!accountJson_.Parse(BodyText(HttpClient::Request(
          baseAddress_ +
              "/user/playlist?cookie=" + UrlEncode(session_.cookie, kEncodeURIComponent) +
              "&uid=" + accountId + "&limit=30&offset=0",
          {.runner = &runner_}))))
    return;
  // An error answer has no list and is a failed request, not an account without playlists.
  if (accountJson_.TypeOf("playlist") != JsonDocument::kArray) return;
  // Replaced, not appended: a second login in the same run would otherwise list every
  // playlist twice.
  const std::size_t n = static_cast<std::size_t>(accountJson_.Count("playlist"));
  std::vector<std::string> names, ids;
  names.reserve(n);
  ids.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string item = "playlist[" + std::to_string(i) + "]";
    names.push_back(accountJson_.GetText(item + ".name"));
    ids.push_back(accountJson_.GetSubDocument(item + ".id").ToText());
  }
  session_.accountPlaylistNames = std::move(names);
  session_.accountPlaylistIds = std::move(ids);
}

// The session goes with the request, or the server could not end it and the cookie would go on
// working for whoever kept a copy.
void AccountClient::Logout() {
  std::string target = "/logout";
  if (!session_.cookie.empty())
    target += "?cookie=" + UrlEncode(session_.cookie, kEncodeURIComponent);
  HttpClient::Request(baseAddress_ + target, {.method = HttpClient::kPost, .runner = &runner_});
  session_.cookie.clear();
  session_.loginState = kLoggedOut;
}

Bytes AccountClient::fetchAvatar() const { return UrlFetch(session_.avatarUrl, runner_); }

}  // namespace lumora

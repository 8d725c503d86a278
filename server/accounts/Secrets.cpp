#include "accounts/Secrets.h"

#include <nettle/memops.h>
#include <nettle/pbkdf2.h>
#include <nettle/sha2.h>
#include <sys/random.h>

#include <cstdint>
#include <vector>

namespace lumora::server {

namespace {

// About 50 ms on a desktop core; the count is kept in each hash, so it may grow later.
constexpr unsigned kIterations = 200000;
constexpr std::size_t kKeyBytes = 32;

std::string Hex(const std::uint8_t* data, std::size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

std::string Derive(const std::string& secret, const std::string& salt, unsigned iterations) {
  std::uint8_t key[kKeyBytes];
  pbkdf2_hmac_sha256(secret.size(), reinterpret_cast<const std::uint8_t*>(secret.data()),
                     iterations, salt.size(), reinterpret_cast<const std::uint8_t*>(salt.data()),
                     sizeof key, key);
  return Hex(key, sizeof key);
}

}  // namespace

std::string RandomHex(std::size_t bytes) {
  std::vector<std::uint8_t> data(bytes);
  for (std::size_t got = 0; got < bytes;) {
    ssize_t n = getrandom(data.data() + got, bytes - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  return Hex(data.data(), bytes);
}

std::string HashPassword(const std::string& secret) {
  const std::string salt = RandomHex(16);
  return "pbkdf2-sha256$" + std::to_string(kIterations) + "$" + salt + "$" +
         Derive(secret, salt, kIterations);
}

bool PasswordMatches(const std::string& secret, const std::string& stored) {
  const std::string scheme = "pbkdf2-sha256$";
  if (stored.rfind(scheme, 0) != 0) return false;
  std::size_t a = stored.find('$', scheme.size());
  std::size_t b = a == std::string::npos ? a : stored.find('$', a + 1);
  if (b == std::string::npos) return false;
  const std::string count = stored.substr(scheme.size(), a - scheme.size());
  if (count.empty() || count.size() > 9 || count.find_first_not_of("0123456789") != count.npos)
    return false;
  const std::string key =
      Derive(secret, stored.substr(a + 1, b - a - 1), static_cast<unsigned>(std::stoul(count)));
  const std::string want = stored.substr(b + 1);
  return want.size() == key.size() && memeql_sec(want.data(), key.data(), key.size());
}

std::string TokenDigest(const std::string& token) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, token.size(), reinterpret_cast<const std::uint8_t*>(token.data()));
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, sizeof digest, digest);
  return Hex(digest, sizeof digest);
}

}  // namespace lumora::server

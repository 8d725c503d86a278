#pragma once
// What the store keeps instead of the secrets themselves: a salted, slow hash of the password
// text a client sends, and a digest of each session token.
#include <string>

namespace lumora::server {

// "pbkdf2-sha256$<iterations>$<salt hex>$<key hex>" of secret with a fresh random salt.
std::string HashPassword(const std::string& secret);
// Whether secret hashes to stored (compared in constant time); false for a malformed stored.
bool PasswordMatches(const std::string& secret, const std::string& stored);

// bytes random bytes as lower-case hex.
std::string RandomHex(std::size_t bytes);
// SHA-256 of a session token, as lower-case hex: a leaked database holds no working token.
std::string TokenDigest(const std::string& token);

}  // namespace lumora::server

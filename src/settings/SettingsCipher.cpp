#include "settings/SettingsCipher.h"

#include <nettle/des.h>

#include <array>
#include <cstdint>

namespace lumora {
namespace {

constexpr std::string_view kKeyText = "Kq3ZsT8mWd1RbYeP";

des_ctx makeKey() {
  std::array<std::uint8_t, DES_KEY_SIZE> key{};
  for (std::size_t i = 0; i < kKeyText.size(); ++i) {
    key[i % key.size()] ^= static_cast<std::uint8_t>(kKeyText[i]);
  }
  des_ctx ctx;
  des_set_key(&ctx, key.data());  // parity bits are ignored; the folded key is not a weak one
  return ctx;
}

std::uint8_t* bytes(std::string& s) { return reinterpret_cast<std::uint8_t*>(s.data()); }

}  // namespace

std::string EncipherSettings(std::string_view text) {
  const std::uint32_t length = static_cast<std::uint32_t>(text.size());
  std::string block;
  for (int shift = 0; shift < 32; shift += 8) block += static_cast<char>((length >> shift) & 0xFF);
  block += text;
  block.resize((block.size() + DES_BLOCK_SIZE - 1) / DES_BLOCK_SIZE * DES_BLOCK_SIZE, '\0');
  const des_ctx ctx = makeKey();
  des_encrypt(&ctx, block.size(), bytes(block), bytes(block));
  return block;
}

std::string DecipherSettings(std::string_view file) {
  const std::int64_t n = static_cast<std::int64_t>(file.size());
  if (n == 0 || n % DES_BLOCK_SIZE != 0) return {};
  std::string block(file);
  const des_ctx ctx = makeKey();
  des_decrypt(&ctx, block.size(), bytes(block), bytes(block));
  std::int64_t length = 0;
  for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<std::uint8_t>(block[i]);
  if (length <= 0 || length > n - 4 || length <= n - 12) return {};
  return block.substr(4, static_cast<std::size_t>(length));
}

}  // namespace lumora

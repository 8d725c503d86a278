// The file format judged by openssl's DES, an implementation independent of ours.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "common/TextCodec.h"
#include "settings/Settings.h"
#include "settings/SettingsCipher.h"
#include "support/TempDir.h"

namespace lumora {
namespace {

// "Kq3ZsT8mWd1RbYeP" folded into 8 bytes, worked out by hand.
constexpr const char* kKeyHex = "1c150208110d5d3d";

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// openssl 3 keeps single DES in its legacy provider.
std::string openssl(const std::string& input, bool decrypt) {
  test::TempDir dir;
  std::ofstream(dir.file("in"), std::ios::binary) << input;
  const std::string command = std::string("openssl enc -des-ecb -nopad ") + (decrypt ? "-d " : "") +
                              "-provider legacy -provider default -K " + kKeyHex + " -in " +
                              dir.file("in") + " -out " + dir.file("out");
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return readAll(dir.file("out"));
}

std::string plainBlock(std::uint32_t length, const std::string& text, std::size_t size) {
  std::string block;
  for (int shift = 0; shift < 32; shift += 8) block += static_cast<char>(length >> shift);
  block += text;
  block.resize(size, '\0');
  return block;
}

TEST(SettingsCipher, DefaultsMatchAnIndependentDes) {
  const std::string text = utf8ToGbk(SettingsText(Settings{}));
  ASSERT_EQ(text, "\xD5\xE6|1|0|\xD5\xE6|4|14511872|16777215|0|1|2");
  const std::string file = EncipherSettings(text);
  EXPECT_EQ(file, openssl(plainBlock(35, text, 40), false));
  EXPECT_EQ(openssl(file, true), plainBlock(35, text, 40));
  EXPECT_EQ(DecipherSettings(file), text);
}

TEST(SettingsCipher, FileSizeIsTheLengthAndTextPaddedToEight) {
  Settings s;
  s.colour1 = 12345678;  // 28 bytes of text: L + 4 = 32 already
  s.colour2 = 0;
  const std::string text28 = utf8ToGbk(SettingsText(s));
  ASSERT_EQ(text28.size(), 28u);
  EXPECT_EQ(EncipherSettings(text28).size(), 32u);
  EXPECT_EQ(openssl(EncipherSettings(text28), true), plainBlock(28, text28, 32));

  s.colour2 = 10;
  const std::string text29 = utf8ToGbk(SettingsText(s));
  ASSERT_EQ(text29.size(), 29u);
  EXPECT_EQ(EncipherSettings(text29).size(), 40u);
  EXPECT_EQ(openssl(EncipherSettings(text29), true), plainBlock(29, text29, 40));

  for (std::size_t n = 1; n < 40; ++n) {
    const std::string text(n, 'x');
    const std::string file = EncipherSettings(text);
    EXPECT_EQ(file.size(), (n + 4 + 7) / 8 * 8) << n;
    EXPECT_EQ(DecipherSettings(file), text) << n;
  }
}

TEST(SettingsCipher, SizeNotAMultipleOfEightGivesNothing) {
  const std::string file = EncipherSettings(utf8ToGbk(SettingsText(Settings{})));
  for (std::size_t cut : {0u, 1u, 7u, 9u, 39u}) {
    EXPECT_EQ(DecipherSettings(file.substr(0, cut)), "") << cut;
  }
  EXPECT_EQ(DecipherSettings(file + "x"), "");
  EXPECT_EQ(DecipherSettings(file + std::string(8, '\0')), "");  // L now falls below n - 12
}

TEST(SettingsCipher, StoredLengthMustFitTheSize) {
  const std::string text(36, 'a');
  struct Case {
    std::uint32_t length;
    std::size_t size;
    bool accepted;
  };
  const Case cases[] = {
      {0, 8, false},            // L > 0
      {4, 8, true},             // L = n - 4
      {5, 8, false},            // L > n - 4
      {0xFFFFFFFF, 16, false},  // a negative length read back
      {12, 16, true},           // L = n - 4
      {5, 16, true},            // L = n - 11
      {4, 16, false},           // L = n - 12
      {29, 40, true},
      {28, 40, false},
      {36, 40, true},
  };
  for (const Case& c : cases) {
    const std::string file = openssl(plainBlock(c.length, text, c.size), false);
    ASSERT_EQ(file.size(), c.size);
    EXPECT_EQ(DecipherSettings(file), c.accepted ? text.substr(0, c.length) : "")
        << c.length << " in " << c.size;
  }
}

}  // namespace
}  // namespace lumora

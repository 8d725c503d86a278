#include <gtest/gtest.h>

#include "settings/PlayerMemory.h"

namespace lumora {
namespace {

TEST(PlayerMemory, RoundTripsEveryField) {
  PlayerMemory m;
  m.volume = 0.25;
  m.facePosition = ScreenPoint{-40, 300};
  m.lyricsPosition = ScreenPoint{12, 700};
  m.lyricsShown = false;
  m.notifications = true;
  m.karaoke = false;
  m.levelling = false;
  EXPECT_EQ(ParsePlayerMemory(PlayerMemoryText(m)), m);
  EXPECT_EQ(PlayerMemoryText(PlayerMemory{}), "");
}

TEST(PlayerMemory, EachDamagedLineLosesOnlyItsField) {
  auto with = [](auto field, auto value) {
    PlayerMemory m;
    m.*field = value;
    return m;
  };
  const struct {
    const char* text;
    PlayerMemory expected;
  } rows[] = {
      {"volume=1.5\nface=10,20\n", with(&PlayerMemory::facePosition, ScreenPoint{10, 20})},
      {"volume=-0\r\nface=10\n", with(&PlayerMemory::volume, 0.0)},
      {"volume=0.5x\nface=1,2,3\nlyricsShown=yes\nmode=\n", {}},
      {"lyrics=7,8\nlyricsShown=true\x01garbage\nvolume",
       with(&PlayerMemory::lyricsPosition, ScreenPoint{7, 8})},
      {"\xff\xfe=\nface=99999999999,1\nlyricsShown=true", with(&PlayerMemory::lyricsShown, true)},
      {"notifications=false\nnotifications=1\n", with(&PlayerMemory::notifications, false)},
      {"karaoke=true\nkaraoke=\n", with(&PlayerMemory::karaoke, true)},
      {"levelling=false\nlevelling=off\n", with(&PlayerMemory::levelling, false)},
      {"face=40000,10\nlyrics=-32767,32767\n",
       with(&PlayerMemory::lyricsPosition, ScreenPoint{-32767, 32767})},
      {"lyrics=2147483647,0\nface=-32768,5\nmode=私人FM模式\n", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(ParsePlayerMemory(row.text), row.expected);
  }
}

}  // namespace
}  // namespace lumora

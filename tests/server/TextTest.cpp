// Query parsing and JSON quoting of the server, where a wrong byte breaks the player.
#include <gtest/gtest.h>

#include "api/ApiServer.h"
#include "api/ApiText.h"
#include "http/HttpRequest.h"
#include "library/PathNames.h"
#include "songfiles/TextEncodings.h"

namespace lumora::server {
namespace {

TEST(ServerText, QueryKeepsAnUnencodedCookieWhole) {
  auto q = ParseQuery("id=5&cookie=lumora_session=ab12&timestamp=1&empty=&flag");
  EXPECT_EQ(q["id"], "5");
  EXPECT_EQ(q["cookie"], "lumora_session=ab12");
  EXPECT_EQ(q["empty"], "");
  EXPECT_EQ(q.count("flag"), 1u);
  auto encoded =
      ParseQuery("cookie=lumora_session%3Dab12%3B%20Path%3D%2F&keywords=a%20b+c&bad=%zz%4");
  EXPECT_EQ(encoded["cookie"], "lumora_session=ab12; Path=/");
  EXPECT_EQ(encoded["keywords"], "a b+c");
  EXPECT_EQ(encoded["bad"], "%zz%4");
  EXPECT_EQ(ParseQuery("a=1&a=2")["a"], "1");
}

TEST(ServerText, SessionTokenFromEveryCookieForm) {
  EXPECT_EQ(SessionToken("lumora_session=ab12"), "ab12");
  EXPECT_EQ(SessionToken("lumora_session=ab12; Path=/"), "ab12");
  EXPECT_EQ(SessionToken("theme=dark; lumora_session=ab12"), "ab12");
  EXPECT_EQ(SessionToken("ab12"), "");
  EXPECT_EQ(SessionToken(""), "");
}

TEST(ServerText, IdsAreExactSixtyFourBitIntegers) {
  EXPECT_EQ(ParseId("9007199254740993"), 9007199254740993ull);
  EXPECT_EQ(ParseId("18446744073709551615"), UINT64_MAX);
  EXPECT_FALSE(ParseId("18446744073709551616"));
  EXPECT_FALSE(ParseId(""));
  EXPECT_FALSE(ParseId("-1"));
  EXPECT_FALSE(ParseId("12a"));
}

TEST(ServerText, JsonQuoteEscapesAndKeepsValidUtf8) {
  EXPECT_EQ(JsonQuote("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
  EXPECT_EQ(JsonQuote("华语"), "\"华语\"");
  EXPECT_EQ(JsonQuote("\xFF\xFE"), "\"\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("a\xE5\x8D"), "\"a\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("\xED\xA0\x80"), "\"\uFFFD\uFFFD\uFFFD\"");  // a lone surrogate
  // Lead bytes past U+10FFFF and overlong forms, followed by what looks like their tail.
  EXPECT_EQ(JsonQuote("\xF5\x80\x80"), "\"\uFFFD\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("a\xFF\xBF\xBF"
                      "b"),
            "\"a\uFFFD\uFFFD\uFFFDb\"");
  EXPECT_EQ(JsonQuote("\xC0\xAF"), "\"\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("\xF4\x8F\xBF\xBF"), "\"\xF4\x8F\xBF\xBF\"");  // U+10FFFF itself
}

// Tag text behind ID3's Latin-1 byte and file names from other systems: GBK only where it
// reads as plausible Chinese, so accented Western names stay as they were written.
TEST(ServerText, LegacyBytesReadAsTheirWriterMeantThem) {
  const struct {
    std::string bytes, tag, name;
  } cases[] = {
      {"Plain", "Plain", "Plain"},
      {"Bj\xF6rk", "Björk", "Björk"},  // ö then a letter: valid GBK, not GB2312
      {"H\xE9l\xE8ne S\xE9gara", "Hélène Ségara", "Hélène Ségara"},
      {"Mot\xF6rhead", "Motörhead", "Motörhead"},
      {"Can\xE7\xE3o", "Canção", "Canção"},  // one GB2312 pair inside a Latin word
      {"Caf\xE9", "Café", "Café"},           // a lead byte with nothing after it
      {"\xC2\xCC\xC6\xA4\xBB\xF0\xB3\xB5", "绿皮火车", "绿皮火车"},
      {"Love \xC7\xE7\xCC\xEC", "Love 晴天", "Love 晴天"},
      {"\xC7\xE7\xCC\xEC", "晴天", "晴天"},
      {"Bj\xC3\xB6rk", "Björk", "Björk"},  // UTF-8 behind the Latin-1 byte
      {"\xE6\x99\xB4\xE5\xA4\xA9", "晴天", "晴天"},
      // Big5, with trail bytes in ASCII's range, and with bytes GBK reads as rare characters.
      {"\xBB\xA1\xC1\xC0\xAA\xBA\xB7\x52\xB1\xA1", "說謊的愛情", "說謊的愛情"},
      {"\xC5\xA5\xAE\xFC", "聽海", "聽海"},
      {"\xBB\xA1\xC1\xC0", "說謊", "說謊"},  // GB2312's 弧晾 too: the much used 說 decides
      {"\xB2\xC4\xA4\x40\xA6\xB8 Live", "第一次 Live", "第一次 Live"},
      {"\x89\xC4\x8D\xD5\x82\xE8", "夏祭り", "夏祭り"},  // Shift-JIS
      {"\x83\x78\x83\x58\x83\x67", "ベスト", "ベスト"},
      {"Love \xB7\xE7\xF3\xDD", "Love 风筝", "Love 风筝"},  // GBK with a character of level 2
      {"\xC5sa", "Åsa", "Åsa"},  // Big5 reads Ås as one everyday character
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    EXPECT_EQ(ReadLatin1TagText(c.bytes), c.tag);
    EXPECT_EQ(ReadableName(c.bytes), c.name);
  }
}

// The lyric line as UTF-16 bytes behind their byte-order mark.
std::string Utf16Lyric(bool little) {
  std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : std::u16string(u"[00:01.00]晴天")) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += little ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(ServerText, LyricFilesInEveryEncodingPeopleHave) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8", "[00:01.00]晴天"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF[00:01.00]晴天"},
      {"UTF-16LE with BOM", Utf16Lyric(true)},
      {"UTF-16BE with BOM", Utf16Lyric(false)},
      {"GBK", "[00:01.00]\xC7\xE7\xCC\xEC"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeTextFile(c.bytes), "[00:01.00]晴天") << c.what;
  EXPECT_EQ(DecodeTextFile("caf\xE9"), "café");  // neither UTF-8 nor GBK
}

// Lines as other systems end them, in a code page each; the player takes a "\r" for text.
TEST(ServerText, LyricFilesEndTheirLinesInNewLines) {
  const struct {
    const char *what, *bytes, *text;
  } cases[] = {
      {"Big5, CR LF", "[00:01.00]\xC5\xA5\xAE\xFC\r\n[00:02.00]x\r\n",
       "[00:01.00]聽海\n[00:02.00]x\n"},
      {"Shift-JIS, CR", "[00:01.00]\x89\xC4\x8D\xD5\x82\xE8\r[00:02.00]x\r",
       "[00:01.00]夏祭り\n[00:02.00]x\n"},
      {"UTF-8, both", "a\r\r\nb\n\rc", "a\n\nb\n\nc"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeTextFile(c.bytes), c.text) << c.what;
}

// What the path of a file without tags says: only what the tags leave empty is taken.
TEST(ServerText, NamesFromThePathsOfUntaggedFiles) {
  const struct {
    const char* path;
    bool tagged;  // with a title, artist, album and track of its own
    const char *title, *artist, *album;
    int track;
  } cases[] = {
      {"A/2010 - Harbor/03 - Quiet River.mp3", false, "Quiet River", "A", "Harbor", 3},
      {"A/1999-Harbor/4. Low Tide.flac", false, "Low Tide", "A", "Harbor", 4},
      {"A/Harbor/05 Salt Air.mp3", false, "Salt Air", "", "", 5},       // no year: just a folder
      {"2010 - Harbor/05 Salt Air.mp3", false, "Salt Air", "", "", 5},  // no artist's folder
      {"A/Live/1999 Nights.mp3", false, "", "", "", 0},  // a title starting with a year
      {"A/Live/Intro.mp3", false, "", "", "", 0},
      {"A/2010 - Harbor/03 - x.mp3", true, "T", "B", "C", 9},
      {"A/Live/\xE9t\xE9 - 01.mp3", false, "", "", "", 0},  // a number after the title
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SongFileTags tags;
    if (c.tagged) {
      tags.title = "T";
      tags.artists = {"B"};
      tags.album = "C";
      tags.track = 9;
    }
    NameFromPath(c.path, tags);
    EXPECT_EQ(tags.title, c.title);
    EXPECT_EQ(tags.artists,
              *c.artist ? std::vector<std::string>{c.artist} : std::vector<std::string>{});
    EXPECT_EQ(tags.album, c.album);
    EXPECT_EQ(tags.track, c.track);
  }
}

}  // namespace
}  // namespace lumora::server

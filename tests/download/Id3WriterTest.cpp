#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "download/Id3Writer.h"
#include "support/Mp3Fixture.h"
#include "support/TempDir.h"

namespace lumora {
namespace {

using test::TempDir;

std::string BigEndian32(std::uint32_t n) {
  return {char(n >> 24), char((n >> 16) & 0xFF), char((n >> 8) & 0xFF), char(n & 0xFF)};
}

std::string Frame(std::string_view id, std::string_view body) {
  return std::string(id) + BigEndian32(std::uint32_t(body.size())) + std::string(2, '\0') +
         std::string(body);
}

std::string Text(std::string_view ascii) { return '\0' + std::string(ascii); }

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }

// Every byte of a literal, zeros included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string SynchSafe(std::uint32_t size) {
  return {char(size >> 21 & 0x7F), char(size >> 14 & 0x7F), char(size >> 7 & 0x7F),
          char(size & 0x7F)};
}

// An old tag as other writers leave it: frames, then padding.
std::string OldTag(std::string_view frames, std::size_t padding, char version = 3) {
  return std::string("ID3") + version + Zeros(2) +
         SynchSafe(std::uint32_t(frames.size() + padding)) + std::string(frames) + Zeros(padding);
}

// A frame of an ID3v2.4 tag: its size synch-safe, with format flags.
std::string Frame24(std::string_view id, std::string_view body, char format = 0) {
  return std::string(id) + SynchSafe(std::uint32_t(body.size())) + '\0' + format +
         std::string(body);
}

// The tag we write: version 2.3, frames, 50 bytes of padding.
std::string OurTag(std::string_view frames) {
  return "ID3\x03" + Zeros(2) + SynchSafe(std::uint32_t(frames.size() + 50)) + std::string(frames) +
         Zeros(50);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kAudio = "\xFF\xFB\x90\x64" + std::string(3000, 'a') + "TAG-end";

struct Case {
  const char* name;
  TagRecord record;
  std::string before;
  std::string after;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

TagRecord TitleOnly(std::string title) {
  TagRecord r;
  r.title = std::move(title);
  return r;
}

TagRecord ArtistOnly() {
  TagRecord r;
  r.artist = "B";
  return r;
}

TagRecord Picture(std::size_t bytes) {
  TagRecord r;
  r.title = "t";
  r.picture = std::string(bytes, '\xD8');
  return r;
}

TagRecord EveryTextSlot() {
  TagRecord r;
  r.artist = "a", r.title = "t", r.album = "l", r.rightsNotice = "c", r.comment = "m";
  r.track = "3", r.encodedBy = "e", r.genre = "g", r.lyrics = "y", r.year = "1999";
  r.url = "u", r.composer = "o";
  return r;
}

const std::string kTxxx = Frame("TXXX", Text("desc") + '\0' + "value");
const std::string kPriv = Frame("PRIV", "owner\0data");

std::vector<Case> Cases() {
  return {
      {"OneLetterTitleGainsSeventyTwoBytes", TitleOnly("A"), kAudio,
       std::string("ID3\x03\x00\x00\x00\x00\x00\x3E"
                   "TIT2\x00\x00\x00\x02\x00\x00\x00"
                   "A",
                   22) +
           Zeros(50) + kAudio},
      {"EveryIdInItsOrder", EveryTextSlot(), kAudio,
       OurTag(Frame("TYER", Text("1999")) + Frame("TIT2", Text("t")) + Frame("TPE1", Text("a")) +
              Frame("TENC", Text("e")) + Frame("TCOP", Text("c")) + Frame("TRCK", Text("3")) +
              Frame("TALB", Text("l")) + Frame("TCON", Text("g")) + Frame("TCOM", Text("o")) +
              Frame("WXXX", Text("u")) + Frame("COMM", Text("m")) + Frame("USLT", Text("y"))) +
           kAudio},
      // The song keeps its own track, year, genre and the rest; what the record writes replaces.
      {"OldFramesKeptInOrderButThoseTheRecordWrites", ArtistOnly(),
       OldTag(Frame("TIT2", Text("old")) + kTxxx + Frame("TPE1", Text("x")) +
                  Frame("TRCK", Text("3")) + Frame("TYER", Text("2005")) + kPriv,
              0) +
           kAudio,
       OurTag(Frame("TPE1", Text("B")) + Frame("TIT2", Text("old")) + kTxxx +
              Frame("TRCK", Text("3")) + Frame("TYER", Text("2005")) + kPriv) +
           kAudio},
      {"OldTagOfTwentyThousandBytesRemovedWhole", TitleOnly("t"),
       OldTag(Frame("TIT2", std::string(19990, 'x')), 0) + kAudio,
       OurTag(Frame("TIT2", Text("t"))) + kAudio},
      // Version 2.4: sizes read as they are written there, texts decoded and written as ours,
      // the recording time as its year, what 2.3 cannot hold left out.
      {"Version24FramesAreMadeFitForVersion23", ArtistOnly(),
       OldTag(Frame24("TRCK", Bytes("\x03"
                                    "3/12")) +
                  Frame24("TDRC", Bytes("\x03"
                                        "2005-03-01")) +
                  Frame24("TCON", Bytes("\x03"
                                        "Pop")) +
                  Frame24("TPOS", Text("1/2")) +
                  Frame24("TPE2", Bytes("\x03"
                                        "A\0B")) +
                  Frame24("TIT2", Bytes("\x03\xE6\x99\xB4")) +
                  Frame24("TDOR", Bytes("\x03"
                                        "2001")) +
                  Frame24("COMM", Bytes("\x03"
                                        "eng\0note")) +
                  Frame24("PRIV", std::string(200, 'p')) + Frame24("TCOM", Text("packed"), 0x01) +
                  Frame24("TXXX", Bytes("\x03"
                                        "k\0v")),
              0, '\x04') +
           kAudio,
       OurTag(Frame("TPE1", Text("B")) + Frame("TRCK", Text("3/12")) + Frame("TYER", Text("2005")) +
              Frame("TCON", Text("Pop")) + Frame("TPOS", Text("1/2")) + Frame("TPE2", Text("A/B")) +
              Frame("TIT2", Bytes("\x01\xFF\xFE\x74\x66")) + Frame("PRIV", std::string(200, 'p')) +
              Frame("TXXX", Bytes("\0k\0v"))) +
           kAudio},
      {"Version22TagCarriesNothing", ArtistOnly(),
       OldTag(Bytes("TT2\x00\x00\x04\x00old"), 0, '\x02') + kAudio,
       OurTag(Frame("TPE1", Text("B"))) + kAudio},
      {"OldPaddingCarriedInTenByteChunks", ArtistOnly(), OldTag(kTxxx, 30) + kAudio,
       OurTag(Frame("TPE1", Text("B")) + kTxxx + Zeros(30)) + kAudio},
      {"EmptyPictureWritesNoApic", Picture(0), kAudio, OurTag(Frame("TIT2", Text("t"))) + kAudio},
      {"PictureFrameSizeIsPictureLengthPlusFourteen", Picture(1000), kAudio,
       OurTag(Frame("TIT2", Text("t")) + "APIC" + BigEndian32(1014) + Zeros(2) +
              std::string("\0image/jpeg\0\x03\0", 14) + std::string(1000, '\xD8')) +
           kAudio},
      // Anything beyond ASCII, Latin-1 letters included: UTF-16 with its byte-order mark.
      {"ChineseTextIsWrittenAsUtf16", TitleOnly("喜é"), kAudio,
       OurTag(Frame("TIT2", std::string("\x01\xFF\xFE\x9C\x55\xE9\x00", 7))) + kAudio},
      {"TextGbkCannotHoldIsWrittenAsUtf16", TitleOnly("a😀한"), kAudio,
       OurTag(Frame("TIT2", std::string("\x01\xFF\xFE"
                                        "a\0\x3D\xD8\x00\xDE\x5C\xD5",
                                        11))) +
           kAudio},
      // Broken old tags: nothing of the audio goes into the new tag and none of it is lost.
      {"FrameReachingPastTheTagEndStopsTheWalk", ArtistOnly(),
       OldTag(kTxxx + "PRIV" + BigEndian32(500) + Zeros(2) + "shortfall", 0) + kAudio,
       OurTag(Frame("TPE1", Text("B")) + kTxxx) + kAudio},
      {"PaddingNotAMultipleOfTenDropsTheLastPiece", ArtistOnly(), OldTag(kPriv, 25) + kAudio,
       OurTag(Frame("TPE1", Text("B")) + kPriv + Zeros(20)) + kAudio},
      {"TagSizePastTheFileEndTakesTheWholeFile", ArtistOnly(),
       "ID3\x03" + Zeros(2) + "\x7F\x7F\x7F\x7F" + kTxxx + "\xFF\xFB",
       OurTag(Frame("TPE1", Text("B")) + kTxxx)},
      {"EmptyOldTagKeepsTheAudioWhole", ArtistOnly(), "ID3\x03" + Zeros(6) + kAudio,
       OurTag(Frame("TPE1", Text("B"))) + kAudio},
      {"HeaderCutShortIsNoAudio", ArtistOnly(), "ID3\x03\x00", OurTag(Frame("TPE1", Text("B")))},
      {"EmptyFileGetsATag", ArtistOnly(), "", OurTag(Frame("TPE1", Text("B")))},
  };
}

class WriterCases : public ::testing::TestWithParam<Case> {};

// Both ways in: a file on disk tagged in place, and fetched bytes written tagged.
TEST_P(WriterCases, WritesExactlyTheseBytes) {
  const Case& c = GetParam();
  TempDir dir;
  std::string onDisk = dir.file("song.mp3");
  ASSERT_TRUE(test::writeFile(onDisk, c.before));
  ASSERT_TRUE(WriteTag(onDisk, c.record));
  EXPECT_EQ(ReadFile(onDisk), c.after);

  std::string fromBytes = dir.file("fetched.mp3");
  ASSERT_TRUE(WriteTaggedFile(fromBytes, c.record, c.before));
  EXPECT_EQ(ReadFile(fromBytes), c.after);
}

INSTANTIATE_TEST_SUITE_P(Id3Writer, WriterCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Id3Writer, SizeBytesAreSynchSafe) {
  std::string tag = BuildTag(std::string(20000 - 50, 'f'));
  EXPECT_EQ(tag.substr(6, 4), std::string("\x00\x01\x1C\x20", 4));
  EXPECT_EQ(tag.size(), 20010u);
  EXPECT_EQ(OldTagEnd(tag, 1u << 20), 20010u);
  EXPECT_EQ(OldTagEnd(tag, 15000), 15000u);
}

TEST(Id3Writer, WritingTwiceCarriesTheFirstPaddingAsFiveChunks) {
  TempDir dir;
  std::string path = dir.file("twice.mp3");
  ASSERT_TRUE(test::writeFile(path, kAudio));
  TagRecord record = EveryTextSlot();
  record.picture = "\xFF\xD8jpeg";
  ASSERT_TRUE(WriteTag(path, record));
  const std::string once = ReadFile(path);
  ASSERT_TRUE(WriteTag(path, record));
  const std::string twice = ReadFile(path);

  const std::string frames = BuildFrames(record);
  EXPECT_EQ(once, OurTag(frames) + kAudio);
  EXPECT_EQ(twice, OurTag(frames + Zeros(50)) + kAudio);
  EXPECT_EQ(twice.size(), once.size() + 50);
}

TEST(Id3Writer, FileModeIsKeptAndNothingIsLeftBeside) {
  TempDir dir;
  std::string path = dir.file("mode.mp3");
  ASSERT_TRUE(test::writeFile(path, kAudio));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteTag(path, TitleOnly("x")));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Id3Writer, WhatCannotBeTaggedIsLeftAlone) {
  TempDir dir;
  EXPECT_FALSE(WriteTag(dir.file("missing.mp3"), TitleOnly("x")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.mp3")));
  EXPECT_FALSE(WriteTag(dir.path(), TitleOnly("x")));

  // A folder where the file should be cannot be replaced by a file.
  std::filesystem::create_directory(dir.file("taken.mp3"));
  EXPECT_FALSE(WriteTaggedFile(dir.file("taken.mp3"), TitleOnly("x"), kAudio));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.mp3")));
  // A folder that does not exist.
  EXPECT_FALSE(WriteTaggedFile(dir.file("none/x.mp3"), TitleOnly("x"), kAudio));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace lumora

#pragma once
// MP3 files made at test time: a sine tone encoded by GStreamer, optionally with an ID3v1 tag.
#include <string>

namespace lumora::test {

struct Id3v1Tag {
  std::string title, artist, album, year, comment;
  unsigned char genre = 255;
};

// The 128-byte ID3v1 block ("TAG", fields padded with zero bytes and cut to their widths).
std::string id3v1Block(const Id3v1Tag& tag);

// A constant-bitrate stereo MP3 of the given length at 44100 Hz; empty when encoding failed.
std::string makeMp3(double seconds);

// makeMp3, then the tag appended.
std::string makeMp3WithTag(double seconds, const Id3v1Tag& tag);

// Writes bytes to path; false on failure.
bool writeFile(const std::string& path, const std::string& bytes);
// The whole file; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace lumora::test

// Other programs read what we write: two independent tag readers find the fields and the picture,
// and a decoder still finds every sample of the audio behind the tag.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "download/Id3Writer.h"
#include "json/JsonDocument.h"
#include "support/Mp3Fixture.h"
#include "support/TempDir.h"

namespace lumora {
namespace {

// What read_tags.py printed, or empty when it failed.
std::string ReadTags(const std::string& path) {
  std::string command = std::string("/usr/bin/python3 ") + LUMORA_TAG_READER + " '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[4096];
  while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  return pclose(pipe) == 0 ? out : std::string();
}

// Decoded stereo sample frames of the file; -1 when decoding failed.
long DecodedFrames(const std::string& path) {
  gst_init(nullptr, nullptr);
  gchar* launch = g_strdup_printf(
      "filesrc location=\"%s\" ! decodebin ! audioconvert ! audio/x-raw,format=S16LE,channels=2 "
      "! appsink name=out sync=false",
      path.c_str());
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(launch, &error);
  g_free(launch);
  if (!pipeline) {
    g_clear_error(&error);
    return -1;
  }
  GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  long bytes = 0;
  while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(out))) {
    bytes += long(gst_buffer_get_size(gst_sample_get_buffer(sample)));
    gst_sample_unref(sample);
  }
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* failure = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
  if (failure) {
    bytes = -4;
    gst_message_unref(failure);
  }
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(out);
  gst_object_unref(pipeline);
  return bytes / 4;
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
  return out;
}

struct Fields {
  const char* name;
  std::string title, artist, album;
  int titleEncoding, artistEncoding, albumEncoding;
};

void PrintTo(const Fields& f, std::ostream* os) { *os << f.name; }

class TagReaders : public ::testing::TestWithParam<Fields> {
 protected:
  static void SetUpTestSuite() { audio_ = test::makeMp3(1.5); }
  static inline std::string audio_;
};

TEST_P(TagReaders, ReadFieldsPictureAndAudio) {
  const Fields& f = GetParam();
  ASSERT_FALSE(audio_.empty());
  test::TempDir dir;
  const std::string plain = dir.file("plain.mp3");
  const std::string tagged = dir.file("tagged.mp3");
  ASSERT_TRUE(test::writeFile(plain, audio_));
  ASSERT_TRUE(test::writeFile(tagged, audio_));

  TagRecord record;
  record.title = f.title, record.artist = f.artist, record.album = f.album;
  record.genre = "Pop";
  record.picture =
      "\xFF\xD8\xFF\xE0" + std::string(3000, '\x7F') + std::string(1, '\0') + "\xFF\xD9";
  // Twice: the second write walks the first tag and carries its padding.
  ASSERT_TRUE(WriteTag(tagged, record));
  ASSERT_TRUE(WriteTag(tagged, record));

  JsonDocument found;
  ASSERT_TRUE(found.Parse(ReadTags(tagged))) << "the readers failed on " << tagged;
  for (const char* reader : {"mutagen", "eyed3"}) {
    SCOPED_TRACE(reader);
    const std::string r = reader;
    EXPECT_EQ(found.GetText(r + ".version"), "2.3");
    EXPECT_EQ(found.GetText(r + ".title"), f.title);
    EXPECT_EQ(found.GetText(r + ".artist"), f.artist);
    EXPECT_EQ(found.GetText(r + ".album"), f.album);
    EXPECT_EQ(found.GetNumber(r + ".titleEncoding"), f.titleEncoding);
    EXPECT_EQ(found.GetNumber(r + ".artistEncoding"), f.artistEncoding);
    EXPECT_EQ(found.GetNumber(r + ".albumEncoding"), f.albumEncoding);
    EXPECT_EQ(found.GetText(r + ".picture"), Hex(record.picture));
    EXPECT_EQ(found.GetText(r + ".pictureMime"), "image/jpeg");
    EXPECT_EQ(found.GetNumber(r + ".pictureType"), 3);
  }
  EXPECT_NEAR(found.GetNumber("eyed3.seconds"), 1.5, 0.1);

  long expected = DecodedFrames(plain);
  ASSERT_GT(expected, 0);
  EXPECT_EQ(DecodedFrames(tagged), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Id3Writer, TagReaders,
    ::testing::Values(Fields{"Ascii", "A", "B", "C", 0, 0, 0},
                      Fields{"Chinese", "Love 晴天", "歌手甲,歌手乙", "绿皮火车", 1, 1, 1},
                      Fields{"NoGbkForm", "사랑 Love", "Artist 😀", "Café", 1, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumora

#include "support/Mp3Fixture.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace lumora::test {

namespace {

void putField(std::string& block, std::size_t at, std::size_t width, const std::string& text) {
  block.replace(at, std::min(width, text.size()), text.substr(0, width));
}

}  // namespace

std::string id3v1Block(const Id3v1Tag& tag) {
  std::string block(128, '\0');
  block.replace(0, 3, "TAG");
  putField(block, 3, 30, tag.title);
  putField(block, 33, 30, tag.artist);
  putField(block, 63, 30, tag.album);
  putField(block, 93, 4, tag.year);
  putField(block, 97, 30, tag.comment);
  block[127] = char(tag.genre);
  return block;
}

std::string makeMp3(double seconds) {
  gst_init(nullptr, nullptr);
  // 1152 samples per MP3 frame keeps the frame count exact.
  int buffers = std::max(1, int(seconds * 44100 / 1152 + 0.5));
  std::string launch = "audiotestsrc wave=sine freq=440 samplesperbuffer=1152 num-buffers=" +
                       std::to_string(buffers) +
                       " ! audio/x-raw,rate=44100,channels=2 ! lamemp3enc target=bitrate "
                       "bitrate=128 cbr=true ! appsink name=out sync=false";
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
  if (!pipeline) {
    g_clear_error(&error);
    return {};
  }
  GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  std::string bytes;
  while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(out))) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      bytes.append(reinterpret_cast<const char*>(map.data), map.size);
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
  }
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
  if (msg) {
    bytes.clear();
    gst_message_unref(msg);
  }
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(out);
  gst_object_unref(pipeline);
  return bytes;
}

std::string makeMp3WithTag(double seconds, const Id3v1Tag& tag) {
  std::string bytes = makeMp3(seconds);
  if (!bytes.empty()) bytes += id3v1Block(tag);
  return bytes;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace lumora::test

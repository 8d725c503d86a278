#include "generated/Encoders.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <mutex>

namespace lumora::server {

void EnsureGstreamer() {
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

namespace {

// Runs "appsrc name=src ! <rest> ! filesink name=sink", pushes one buffer and waits for EOS.
bool RunPipeline(const std::string& description, const std::string& path, const void* data,
                 std::size_t size, std::string* error) {
  EnsureGstreamer();
  GError* gerror = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &gerror);
  if (!pipeline) {
    if (error) *error = gerror ? gerror->message : "pipeline failed";
    if (gerror) g_error_free(gerror);
    return false;
  }
  if (gerror) g_error_free(gerror);
  GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  g_object_set(sink, "location", path.c_str(), nullptr);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);

  GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
  gst_buffer_fill(buffer, 0, data, size);
  gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
  gst_app_src_end_of_stream(GST_APP_SRC(src));

  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* msg = gst_bus_timed_pop_filtered(
      bus, 120 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
  if (!ok && error) {
    *error = "encoding failed";
    if (msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
      GError* e = nullptr;
      gst_message_parse_error(msg, &e, nullptr);
      if (e) {
        *error = e->message;
        g_error_free(e);
      }
    }
  }
  if (msg) gst_message_unref(msg);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(src);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return ok;
}

}  // namespace

bool WriteMp3(const std::string& path, const std::vector<std::int16_t>& mono, int rate, int kbps,
              std::string* error) {
  std::string description =
      "appsrc name=src format=time caps=audio/x-raw,format=S16LE,layout=interleaved,channels=1,"
      "rate=" +
      std::to_string(rate) +
      " ! audioconvert ! lamemp3enc target=bitrate cbr=true bitrate=" + std::to_string(kbps) +
      " ! filesink name=sink";
  return RunPipeline(description, path, mono.data(), mono.size() * sizeof(std::int16_t), error);
}

bool WriteJpeg(const std::string& path, const std::vector<std::uint8_t>& rgb, int width, int height,
               std::string* error) {
  std::string description =
      "appsrc name=src caps=video/x-raw,format=RGB,width=" + std::to_string(width) +
      ",height=" + std::to_string(height) +
      ",framerate=0/1 ! videoconvert ! jpegenc quality=88 ! filesink "
      "name=sink";
  return RunPipeline(description, path, rgb.data(), rgb.size(), error);
}

}  // namespace lumora::server

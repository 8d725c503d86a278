#include "playback/MemorySource.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>

namespace lumora {

namespace {

constexpr guint kChunk = 4096;

void onNeedData(GstAppSrc* src, guint length, gpointer user) {
  auto* mem = static_cast<MemorySource*>(user);
  GstBuffer* buffer = nullptr;
  {
    std::lock_guard lock(mem->mutex);
    if (mem->offset < mem->bytes.size()) {
      std::size_t n = std::min<std::size_t>(length == 0 || length == guint(-1) ? kChunk : length,
                                            mem->bytes.size() - mem->offset);
      buffer = gst_buffer_new_memdup(mem->bytes.data() + mem->offset, n);
      GST_BUFFER_OFFSET(buffer) = mem->offset;
      mem->offset += n;
    }
  }
  if (buffer)
    gst_app_src_push_buffer(src, buffer);
  else
    gst_app_src_end_of_stream(src);
}

gboolean onSeekData(GstAppSrc*, guint64 offset, gpointer user) {
  auto* mem = static_cast<MemorySource*>(user);
  std::lock_guard lock(mem->mutex);
  if (offset > mem->bytes.size()) return FALSE;
  mem->offset = offset;
  return TRUE;
}

}  // namespace

void onSourceSetup(GstElement*, GstElement* source, gpointer user) {
  if (!GST_IS_APP_SRC(source)) return;
  auto* mem = static_cast<MemorySource*>(user);
  GstAppSrc* app = GST_APP_SRC(source);
  gst_app_src_set_stream_type(app, GST_APP_STREAM_TYPE_RANDOM_ACCESS);
  gst_app_src_set_size(app, gint64(mem->bytes.size()));
  g_object_set(source, "format", GST_FORMAT_BYTES, nullptr);
  GstAppSrcCallbacks callbacks{};
  callbacks.need_data = onNeedData;
  callbacks.seek_data = onSeekData;
  gst_app_src_set_callbacks(app, &callbacks, mem, nullptr);
}

}  // namespace lumora

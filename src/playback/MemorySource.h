#pragma once
// A stream's bytes held in memory, handed to playbin's appsrc from GStreamer's threads.
#include <gst/gst.h>

#include <cstddef>
#include <mutex>
#include <string>

namespace lumora {

struct MemorySource {
  std::string bytes;
  std::mutex mutex;
  std::size_t offset = 0;
};

// playbin's "source-setup" handler: makes the appsrc it is given read `user`, a MemorySource.
void onSourceSetup(GstElement* playbin, GstElement* source, gpointer user);

}  // namespace lumora

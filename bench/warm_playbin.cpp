// The baseline of a press of next: one bare playbin kept warm in its process. Each line read
// from stdin is an address that replaces the song playing (ready, the new address, playing), as
// a player with none of Lumora's steps would switch songs. Audio only, to the default output.
#include <gst/gst.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  if (!playbin) return 1;
  g_object_set(playbin, "flags", 0x2, nullptr);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.empty()) continue;
    gst_element_set_state(playbin, GST_STATE_READY);
    g_object_set(playbin, "uri", line.c_str(), nullptr);
    gst_element_set_state(playbin, GST_STATE_PLAYING);
  }
  gst_element_set_state(playbin, GST_STATE_NULL);
  gst_object_unref(playbin);
  return 0;
}

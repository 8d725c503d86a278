// For bench/lyric_after_show.sh: watches one rectangle of a window (the face's lyric line) on
// the X display and, ROUNDS times: waits for the line to change (a lyric line's first second),
// keeps the pixels one second later, takes the window off the screen (unmapped) at 1.2 s, puts
// it back at 4.3 s, when the next line is in effect, and prints the milliseconds until the
// rectangle no longer shows the line kept (3000 when it still did after 3 s). The rectangle is
// read every 2 ms; a rectangle of one colour (the window mapped but not painted yet) shows no
// line.
//
//   face_watch WINDOW X Y WIDTH HEIGHT ROUNDS
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Watch {
  xcb_connection_t* x;
  xcb_window_t window;
  std::int16_t left, top;
  std::uint16_t width, height;

  std::string pixels() const {
    xcb_get_image_cookie_t cookie =
        xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, window, left, top, width, height, ~0u);
    xcb_get_image_reply_t* reply = xcb_get_image_reply(x, cookie, nullptr);
    if (!reply) return {};
    std::string bytes(reinterpret_cast<const char*>(xcb_get_image_data(reply)),
                      static_cast<std::size_t>(xcb_get_image_data_length(reply)));
    std::free(reply);
    return bytes;
  }

  void mapped(bool on) const {
    if (on)
      xcb_map_window(x, window);
    else
      xcb_unmap_window(x, window);
    xcb_flush(x);
  }
};

bool oneColour(const std::string& bytes) {
  for (std::size_t i = 4; i < bytes.size(); ++i)
    if (bytes[i] != bytes[i % 4]) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: face_watch WINDOW X Y WIDTH HEIGHT ROUNDS\n");
    return 2;
  }
  Watch w{xcb_connect(nullptr, nullptr),
          static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0)),
          static_cast<std::int16_t>(std::atoi(argv[2])),
          static_cast<std::int16_t>(std::atoi(argv[3])),
          static_cast<std::uint16_t>(std::atoi(argv[4])),
          static_cast<std::uint16_t>(std::atoi(argv[5]))};
  if (xcb_connection_has_error(w.x)) return 1;
  const int rounds = std::atoi(argv[6]);
  for (int round = 0; round < rounds; ++round) {
    // The first moment of a line.
    std::string before = w.pixels();
    const Clock::time_point give_up = Clock::now() + 20s;
    while (w.pixels() == before) {
      if (Clock::now() > give_up) return 1;
      std::this_thread::sleep_for(2ms);
    }
    const Clock::time_point line = Clock::now();
    std::this_thread::sleep_until(line + 1000ms);
    const std::string kept = w.pixels();
    std::this_thread::sleep_until(line + 1200ms);
    w.mapped(false);
    std::this_thread::sleep_until(line + 4300ms);
    const Clock::time_point shown = Clock::now();
    w.mapped(true);
    long ms = 3000;
    while (Clock::now() < shown + 3s) {
      const std::string now = w.pixels();
      if (!now.empty() && !oneColour(now) && now != kept) {
        ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - shown).count());
        break;
      }
      std::this_thread::sleep_for(2ms);
    }
    std::printf("%ld\n", ms);
    std::fflush(stdout);
  }
  xcb_disconnect(w.x);
  return 0;
}

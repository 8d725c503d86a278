#pragma once
// What the player and the play modes say about a stream.

namespace lumora {

// A stream's state as the player tells it; the numbers are the player's state codes.
enum class ChannelState {
  Stopped = 0,  // also for handle 0, an unknown handle, a stream that ended or failed
  Playing = 1,
  Stalled = 2,  // a network stream waiting for data
  Paused = 3,
};

// A stream opened away from the player's thread and not yet under a handle: the player adopts
// it on its own thread. Destroying it frees it.
class OpenedStream {
 public:
  virtual ~OpenedStream() = default;
};

}  // namespace lumora

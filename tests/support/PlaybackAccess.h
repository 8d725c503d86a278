#pragma once
// Lets a test put playback into a state no routine reaches on its own (a song queued by hand,
// a stream opened outside the controller).
#include "playback/PlaybackController.h"

namespace lumora {

struct PlaybackControllerAccess {
  static PlaybackState& state(PlaybackController& controller) { return controller.state_; }
};

}  // namespace lumora

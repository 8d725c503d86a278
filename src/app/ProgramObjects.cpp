#include "app/ProgramObjects.h"

namespace lumora {

ProgramObjects::ProgramObjects() {
  audio.init = [this] { return player.init(); };
  audio.free = [this] { return player.free(); };
}

}  // namespace lumora

#include "app/ProgramObjects.h"

#include "net/ApiBaseAddress.h"

namespace lumora {

ProgramObjects::ProgramObjects() : apiBaseAddress(ApiBaseAddress()) {
  audio.init = [this] { return player.init(); };
  audio.free = [this] { return player.free(); };
}

}  // namespace lumora

#pragma once
// What the environment tells the player, read once in main and handed down from there.
#include <functional>
#include <string>

namespace lumora {

struct Options {
  // The music API server: scheme, host and port, no trailing slash.
  std::string ApiBaseAddress = "http://127.0.0.1:3000";
  // The server lives only as long as this session (scripts/run.sh starts one on a free port), so
  // nothing meant for a later session may name its address.
  bool apiBaseTemporary = false;
  // -1 the default output, 0 the no-sound device.
  int audioDevice = -1;
  // Where start-up and shutdown steps are appended; empty for nowhere.
  std::string traceFile;
  // The XDG folders; each falls back to its usual place under the home folder.
  std::string configHome;
  std::string cacheHome;
  std::string stateHome;
  std::string musicDir;

  // The server's address for a later session: empty when it is the default or ends with this
  // session.
  std::string lastingApiBase() const;
};

using EnvironmentReader = std::function<const char*(const char* name)>;

// LUMORA_API_BASE, LUMORA_API_BASE_TEMPORARY=1, LUMORA_AUDIO_DEVICE=0, LUMORA_TRACE_FILE, HOME and
// the XDG variables.
Options ReadOptions(const EnvironmentReader& environment);
// The same from the process environment; without XDG_MUSIC_DIR the music folder is the one
// user-dirs.dirs names (as `xdg-user-dir MUSIC` says), else ~/Music.
Options ReadOptions();

}  // namespace lumora

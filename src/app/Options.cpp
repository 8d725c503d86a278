#include "app/Options.h"

#include <QStandardPaths>
#include <cstdlib>
#include <string_view>

namespace lumora {

std::string Options::lastingApiBase() const {
  return apiBaseTemporary || ApiBaseAddress == Options{}.ApiBaseAddress ? std::string()
                                                                        : ApiBaseAddress;
}

namespace {

std::string Read(const EnvironmentReader& environment, const char* name) {
  const char* value = environment(name);
  return value ? value : "";
}

// An XDG folder must be absolute to count; otherwise the usual place under home.
std::string XdgFolder(const EnvironmentReader& environment, const char* name,
                      const std::string& home, const char* underHome) {
  std::string folder = Read(environment, name);
  if (!folder.empty() && folder.front() == '/') return folder;
  return home + "/" + underHome;
}

}  // namespace

Options ReadOptions(const EnvironmentReader& environment) {
  Options options;
  std::string base = Read(environment, "LUMORA_API_BASE");
  while (!base.empty() && base.back() == '/') base.pop_back();
  if (!base.empty()) options.ApiBaseAddress = base;
  options.apiBaseTemporary = Read(environment, "LUMORA_API_BASE_TEMPORARY") == "1";
  if (Read(environment, "LUMORA_AUDIO_DEVICE") == "0") options.audioDevice = 0;
  options.traceFile = Read(environment, "LUMORA_TRACE_FILE");
  const std::string home = Read(environment, "HOME");
  options.configHome = XdgFolder(environment, "XDG_CONFIG_HOME", home, ".config");
  options.cacheHome = XdgFolder(environment, "XDG_CACHE_HOME", home, ".cache");
  options.stateHome = XdgFolder(environment, "XDG_STATE_HOME", home, ".local/state");
  options.musicDir = XdgFolder(environment, "XDG_MUSIC_DIR", home, "Music");
  return options;
}

Options ReadOptions() {
  Options options = ReadOptions([](const char* name) { return std::getenv(name); });
  // Desktops keep the music folder in user-dirs.dirs, in the user's own language; Qt reads it
  // the way xdg-user-dir does.
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (!std::getenv("XDG_MUSIC_DIR") && !music.isEmpty()) options.musicDir = music.toStdString();
  return options;
}

}  // namespace lumora

#pragma once
// What the player remembers between runs beyond the ten settings, in a plain key=value file of
// its own beside the other per-user state: the enciphered settings file stays as it is.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lumora {

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

// Each field is empty until known; an empty field is not written and not applied. The play mode
// is not kept: every run starts in 歌单模式, and the login that personal FM needs is not kept
// either.
struct PlayerMemory {
  std::optional<double> volume;  // 0..1
  std::optional<ScreenPoint> facePosition;
  std::optional<ScreenPoint> lyricsPosition;
  std::optional<bool> lyricsShown;
  std::optional<bool> notifications;
  std::optional<bool> karaoke;
  std::optional<bool> levelling;  // every song at the same loudness

  bool operator==(const PlayerMemory&) const = default;
};

std::string PlayerMemoryText(const PlayerMemory& memory);
// A damaged file loses only the lines that do not read: each field is taken on its own. A place
// beyond what a screen coordinate can be (±32767) does not read.
PlayerMemory ParsePlayerMemory(std::string_view text);

// stateHome + "/lumora/state.ini"; empty for an empty stateHome, and then nothing is kept.
std::filesystem::path PlayerMemoryPath(const std::filesystem::path& stateHome);
// Nothing known when the file is missing or unreadable.
PlayerMemory ReadPlayerMemory(const std::filesystem::path& file);
// Replaced whole, so a crash leaves the old file or the new one.
bool WritePlayerMemory(const std::filesystem::path& file, const PlayerMemory& memory);

}  // namespace lumora

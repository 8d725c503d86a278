#include "settings/PlayerMemory.h"

#include <charconv>

#include "common/AtomicFile.h"

namespace lumora {

namespace {

template <typename Number>
std::optional<Number> readNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The window system's coordinates are 16-bit; anything beyond is no place at all, and would
// overflow the geometry it is put into.
std::optional<int> readCoordinate(std::string_view text) {
  const std::optional<int> value = readNumber<int>(text);
  if (!value || *value < -32767 || *value > 32767) return std::nullopt;
  return value;
}

std::optional<ScreenPoint> readPoint(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::optional<int> x = readCoordinate(text.substr(0, comma));
  const std::optional<int> y = readCoordinate(text.substr(comma + 1));
  if (!x || !y) return std::nullopt;
  return ScreenPoint{*x, *y};
}

std::optional<bool> readSwitch(std::string_view text) {
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

std::optional<double> readVolume(std::string_view text) {
  const std::optional<double> volume = readNumber<double>(text);
  if (!volume || !(*volume >= 0.0 && *volume <= 1.0)) return std::nullopt;
  return volume;
}

void put(std::string& text, const char* key, const std::string& value) {
  text += key;
  text += '=';
  text += value;
  text += '\n';
}

std::string pointText(const ScreenPoint& p) {
  return std::to_string(p.x) + "," + std::to_string(p.y);
}

std::string switchText(bool on) { return on ? "true" : "false"; }

}  // namespace

std::string PlayerMemoryText(const PlayerMemory& m) {
  std::string text;
  if (m.volume) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, *m.volume).ptr;
    put(text, "volume", std::string(buffer, end));
  }
  if (m.facePosition) put(text, "face", pointText(*m.facePosition));
  if (m.lyricsPosition) put(text, "lyrics", pointText(*m.lyricsPosition));
  if (m.lyricsShown) put(text, "lyricsShown", switchText(*m.lyricsShown));
  if (m.notifications) put(text, "notifications", switchText(*m.notifications));
  if (m.karaoke) put(text, "karaoke", switchText(*m.karaoke));
  if (m.levelling) put(text, "levelling", switchText(*m.levelling));
  return text;
}

PlayerMemory ParsePlayerMemory(std::string_view text) {
  PlayerMemory m;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "volume") {
      if (auto v = readVolume(value)) m.volume = v;
    } else if (key == "face") {
      if (auto p = readPoint(value)) m.facePosition = p;
    } else if (key == "lyrics") {
      if (auto p = readPoint(value)) m.lyricsPosition = p;
    } else if (key == "lyricsShown") {
      if (auto s = readSwitch(value)) m.lyricsShown = s;
    } else if (key == "notifications") {
      if (auto s = readSwitch(value)) m.notifications = s;
    } else if (key == "karaoke") {
      if (auto s = readSwitch(value)) m.karaoke = s;
    } else if (key == "levelling") {
      if (auto s = readSwitch(value)) m.levelling = s;
    }
  }
  return m;
}

std::filesystem::path PlayerMemoryPath(const std::filesystem::path& stateHome) {
  if (stateHome.empty()) return {};
  return stateHome / "lumora" / "state.ini";
}

PlayerMemory ReadPlayerMemory(const std::filesystem::path& file) {
  if (file.empty()) return {};
  const std::optional<std::string> bytes = ReadSmallFile(file, 64 * 1024);
  return bytes ? ParsePlayerMemory(*bytes) : PlayerMemory{};
}

bool WritePlayerMemory(const std::filesystem::path& file, const PlayerMemory& memory) {
  if (file.empty()) return false;
  return !WriteFileAtomically(file, PlayerMemoryText(memory));
}

}  // namespace lumora

#include "settings/SettingsFile.h"

#include <string>

#include "common/AtomicFile.h"
#include "common/TextCodec.h"
#include "settings/SettingsCipher.h"

namespace lumora {

std::filesystem::path SettingsFilePath(const std::filesystem::path& configHome) {
  if (configHome.empty()) return {};
  return configHome / "lumora" / "lumora.ini";
}

void ApplySettingsFile(std::string_view fileBytes, Settings& settings) {
  const std::string text = DecipherSettings(fileBytes);
  ApplySettingsText(gbkToUtf8(std::string_view(text).substr(0, text.find('\0'))), settings);
}

bool ReadSettingsFile(const std::filesystem::path& file, Settings& settings) {
  if (file.empty()) return false;
  const std::optional<std::string> bytes = ReadSmallFile(file);
  if (!bytes) return false;
  ApplySettingsFile(*bytes, settings);
  return true;
}

bool WriteSettingsFile(const std::filesystem::path& file, const Settings& settings) {
  if (file.empty()) return false;
  return !WriteFileAtomically(file, EncipherSettings(utf8ToGbk(SettingsText(settings))));
}

}  // namespace lumora

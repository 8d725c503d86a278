#pragma once
// Where the settings live and how they are read back and written.
#include <filesystem>
#include <string_view>

#include "settings/Settings.h"

namespace lumora {

// configHome + "/lumora/lumora.ini"; empty for an empty configHome, and then nothing is read or
// written.
std::filesystem::path SettingsFilePath(const std::filesystem::path& configHome);

// Deciphers file bytes and applies their fields to `settings`.
void ApplySettingsFile(std::string_view fileBytes, Settings& settings);

// Reads the file and applies it; false (settings unchanged) when there is no readable file.
bool ReadSettingsFile(const std::filesystem::path& file, Settings& settings);

// Writes the settings, creating the folders; false when the file could not be replaced, in which
// case the old file is still whole.
bool WriteSettingsFile(const std::filesystem::path& file, const Settings& settings);

}  // namespace lumora

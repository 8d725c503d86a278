#pragma once
// Where the settings live and how they are read back and written.
#include <filesystem>
#include <string_view>

#include "settings/Settings.h"

namespace lumora {

// The user's configuration folder: XDG_CONFIG_HOME when it is an absolute path, else HOME +
// "/.config"; empty when neither is usable, and then nothing is read or written.
std::filesystem::path ConfigHome(std::string_view xdgConfigHome, std::string_view home);

// configHome + "/lumora/lumora.ini"; empty for an empty configHome.
std::filesystem::path SettingsFilePath(const std::filesystem::path& configHome);

// Deciphers file bytes and applies their fields to `settings`.
void ApplySettingsFile(std::string_view fileBytes, Settings& settings);

// Reads the file and applies it; false (settings unchanged) when there is no readable file.
bool ReadSettingsFile(const std::filesystem::path& file, Settings& settings);

// Writes the settings, creating the folders; false when the file could not be replaced, in which
// case the old file is still whole.
bool WriteSettingsFile(const std::filesystem::path& file, const Settings& settings);

}  // namespace lumora

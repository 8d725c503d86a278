#pragma once
// Start at login through an XDG autostart entry: configHome + "/autostart/" + name + ".desktop".
#include <filesystem>
#include <string>
#include <string_view>

namespace lumora {

std::filesystem::path AutostartEntryPath(const std::filesystem::path& configHome,
                                         std::string_view name);

// One argument of an Exec line, quoted when it holds a reserved character, with "%" doubled and
// the backslashes of a desktop-file string value doubled.
std::string DesktopExecArgument(std::string_view argument);

// The entry that starts the program; a non-empty apiBase travels as LUMORA_API_BASE so the
// started player finds the same server.
std::string AutostartEntryText(std::string_view name, std::string_view programPath,
                               std::string_view apiBase);

// setAutorun's two switches; with neither, it writes the entry.
struct AutorunFlags {
  bool remove = false;
  bool query = false;
};

// query: true when the entry exists and is not hidden. Otherwise writes the entry (remove false)
// or removes it (remove true) and returns whether that worked; on failure `failure` receives a
// short Chinese reason for the user.
bool setAutorun(const std::filesystem::path& configHome, std::string_view name,
                std::string_view programPath, std::string_view apiBase, AutorunFlags flags,
                std::string* failure = nullptr);

// At start: true when the entry is in place, as the query above; an entry that would no longer
// start this player as written (an old address, another program path) is written afresh.
bool refreshAutorun(const std::filesystem::path& configHome, std::string_view name,
                    std::string_view programPath, std::string_view apiBase);

}  // namespace lumora

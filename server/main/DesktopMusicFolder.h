#pragma once
// The desktop's music folder, as the player finds it: XDG_MUSIC_DIR, else the folder
// ~/.config/user-dirs.dirs names (in the user's own language), else ~/Music.
#include <string>

std::string DesktopMusicFolder();

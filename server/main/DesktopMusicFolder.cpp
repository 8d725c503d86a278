#include "main/DesktopMusicFolder.h"

#include <glib.h>

#include <cstdlib>

std::string DesktopMusicFolder() {
  if (const char* env = std::getenv("XDG_MUSIC_DIR"); env && *env) return env;
  // GLib reads user-dirs.dirs the way the desktop's own tools do; an entry naming the home
  // folder itself means "no music folder", and serving all of home would be wrong.
  const char* named = g_get_user_special_dir(G_USER_DIRECTORY_MUSIC);
  const std::string home = g_get_home_dir();
  if (named && *named && std::string(named) != home) return named;
  return home + "/Music";
}

// The music folder, home of the downloads, is found the way the desktop's own tools find it.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/Options.h"
#include "support/Mp3Fixture.h"
#include "support/ScopedVariable.h"
#include "support/TempDir.h"

namespace lumora {
namespace {

TEST(Options, MusicFolderFromTheVariableElseUserDirsElseHome) {
  struct Case {
    const char* name;
    std::optional<std::string> variable;
    std::string userDirs;  // the content of user-dirs.dirs; empty for no file
    std::string expected;  // "~" stands for the home folder
  };
  const Case cases[] = {
      {"variable", "/srv/songs", "XDG_MUSIC_DIR=\"$HOME/Musik\"\n", "/srv/songs"},
      {"user-dirs", std::nullopt, "XDG_DESKTOP_DIR=\"$HOME/D\"\nXDG_MUSIC_DIR=\"$HOME/音乐\"\n",
       "~/音乐"},
      {"nothing said", std::nullopt, "", "~/Music"},
      {"relative variable", "songs", "", "~/Music"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir home;
    const std::string config = home.file(".config");
    if (!c.userDirs.empty()) {
      ASSERT_TRUE(std::filesystem::create_directory(config));
      ASSERT_TRUE(test::writeFile(config + "/user-dirs.dirs", c.userDirs));
    }
    test::ScopedVariable homeVariable("HOME", home.path().string());
    test::ScopedVariable configVariable("XDG_CONFIG_HOME", config);
    test::ScopedVariable musicVariable("XDG_MUSIC_DIR", c.variable);
    std::string expected = c.expected;
    if (expected.starts_with("~")) expected.replace(0, 1, home.path().string());
    EXPECT_EQ(ReadOptions().musicDir, expected);
  }
}

}  // namespace
}  // namespace lumora

// The entry judged by the desktop's own tools: desktop-file-validate for its form and
// `gio launch` for what a session would really start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/Autostart.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

TEST(Autostart, ExecArgumentsAreQuotedOnlyWhenNeeded) {
  struct Case {
    const char* argument;
    const char* inFile;
  };
  const Case cases[] = {
      {"/usr/bin/lumora", "/usr/bin/lumora"},
      {"LUMORA_API_BASE=http://127.0.0.1:3000", "LUMORA_API_BASE=http://127.0.0.1:3000"},
      {"/opt/my app/lumora", "\"/opt/my app/lumora\""},
      {"/a$b", "\"/a\\\\$b\""},
      {"/a\\b", "\"/a\\\\\\\\b\""},
      {"/a\"b", "\"/a\\\\\"b\""},
      {"/100%", "/100%%"},
      {"/音乐/播放器", "/音乐/播放器"},
      {"", "\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(DesktopExecArgument(c.argument), c.inFile) << c.argument;
}

TEST(Autostart, SetQueryAndRemove) {
  test::TempDir dir;
  const fs::path entry = AutostartEntryPath(dir.path(), "Lumora");
  EXPECT_EQ(entry, dir.path() / "autostart" / "Lumora.desktop");
  EXPECT_FALSE(setAutorun(dir.path(), "Lumora", "", "", {.query = true}));

  ASSERT_TRUE(setAutorun(dir.path(), "Lumora", "/usr/bin/lumora", "", {.remove = false}));
  EXPECT_TRUE(setAutorun(dir.path(), "Lumora", "", "", {.query = true}));
  EXPECT_EQ(readAll(entry),
            "[Desktop Entry]\nType=Application\nName=Lumora\nExec=/usr/bin/lumora\n"
            "Terminal=false\n");

  ASSERT_TRUE(setAutorun(dir.path(), "Lumora", "", "", {.remove = true}));
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_FALSE(setAutorun(dir.path(), "Lumora", "", "", {.query = true}));
  EXPECT_TRUE(setAutorun(dir.path(), "Lumora", "", "", {.remove = true}));  // already gone
}

TEST(Autostart, AHiddenEntryDoesNotStart) {
  test::TempDir dir;
  const fs::path entry = AutostartEntryPath(dir.path(), "Lumora");
  fs::create_directories(entry.parent_path());
  struct Case {
    const char* text;
    bool starts;
  };
  const Case cases[] = {
      {"[Desktop Entry]\nType=Application\nHidden=true\n", false},
      {"[Desktop Entry]\r\nHidden = true\r\n", false},
      {"[Desktop Entry]\nHidden=false\n", true},
      {"[Desktop Entry]\nX-Hidden=true\n", true},
      {"[Desktop Action x]\nHidden=true\n", true},
  };
  for (const Case& c : cases) {
    std::ofstream(entry) << c.text;
    EXPECT_EQ(setAutorun(dir.path(), "Lumora", "", "", {.query = true}), c.starts) << c.text;
  }
}

TEST(Autostart, FailuresSayWhy) {
  test::TempDir dir;
  std::string why;
  // A file where the autostart folder should be.
  std::ofstream(dir.file("autostart")) << "x";
  EXPECT_FALSE(setAutorun(dir.path(), "Lumora", "/usr/bin/lumora", "", {.remove = false}, &why));
  EXPECT_NE(why.find("无法写入"), std::string::npos) << why;
  EXPECT_FALSE(setAutorun(dir.path(), "Lumora", "", "", {.query = true}));

  why.clear();
  EXPECT_FALSE(setAutorun(dir.path() / "x", "Lumora", "/a\nb", "", {.remove = false}, &why));
  EXPECT_FALSE(why.empty());
  why.clear();
  EXPECT_FALSE(setAutorun("", "Lumora", "/usr/bin/lumora", "", {.remove = false}, &why));
  EXPECT_FALSE(why.empty());

  // Removal from a folder the user may not change.
  fs::remove(dir.path() / "autostart");
  ASSERT_TRUE(setAutorun(dir.path(), "Lumora", "/usr/bin/lumora", "", {.remove = false}));
  if (::geteuid() != 0) {
    fs::permissions(dir.path() / "autostart", fs::perms(0555));
    why.clear();
    EXPECT_FALSE(setAutorun(dir.path(), "Lumora", "", "", {.remove = true}, &why));
    EXPECT_NE(why.find("没有写入权限"), std::string::npos) << why;
    fs::permissions(dir.path() / "autostart", fs::perms(0755));
  }
}

TEST(Autostart, EntryIsValidAndStartsTheProgramWithTheServer) {
  test::TempDir dir;
  // A stand-in program whose name needs every kind of quoting; it records how it was started.
  const fs::path program = dir.path() / "my prog $x \"q\" \\ 100%";
  const fs::path record = dir.path() / "started";
  std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$LUMORA_API_BASE\" > "
                         << quoted(record) << "\n";
  fs::permissions(program, fs::perms(0755));
  const std::string base = "http://127.0.0.1:3000/a b$";
  ASSERT_TRUE(setAutorun(dir.path(), "Lumora", program.string(), base, {.remove = false}));
  const fs::path entry = AutostartEntryPath(dir.path(), "Lumora");

  const std::string validate = "desktop-file-validate " + quoted(entry);
  EXPECT_EQ(std::system(validate.c_str()), 0) << readAll(entry);

  const std::string launch = "gio launch " + quoted(entry);
  ASSERT_EQ(std::system(launch.c_str()), 0) << readAll(entry);
  test::waitFor([&] { return !readAll(record).empty(); }, std::chrono::seconds(10));
  EXPECT_EQ(readAll(record), program.string() + "\n" + base + "\n") << readAll(entry);
}

}  // namespace
}  // namespace lumora

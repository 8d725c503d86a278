// The start-at-login entry must still start a working player at the next login: a ticked box
// finds a stale entry at start and writes it afresh, without the address of a server that ends
// with the session, and with the installed program when there is one.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "settings/Autostart.h"
#include "support/Controls.h"
#include "support/MainWindowTestSupport.h"
#include "support/Mp3Fixture.h"
#include "support/ScopedVariable.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) { return readFile(path.string()); }

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

TEST(AutorunEntry, ATickedBoxRewritesAStaleEntryThatStartsAtTheNextLogin) {
  struct Case {
    const char* name;
    std::string apiBase;
    bool temporary;
    bool installed;            // a lumora on PATH
    std::string expectedBase;  // in the entry and in the started program's environment
  };
  const Case cases[] = {
      {"run.sh's passing server", "http://127.0.0.1:34937", true, true, ""},
      {"a server of the user's own", "http://192.168.1.20:3000", false, true,
       "http://192.168.1.20:3000"},
      {"nothing installed", "http://127.0.0.1:34937", true, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir home;
    const fs::path bin = home.path() / "bin";
    const fs::path record = home.path() / "started";
    fs::create_directories(bin);
    if (c.installed) {
      // Stands in for the installed player; it records how it was started.
      std::ofstream(bin / "lumora")
          << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$LUMORA_API_BASE\" > " << quoted(record) << "\n";
      fs::permissions(bin / "lumora", fs::perms(0755));
    }
    const fs::path entry = AutostartEntryPath(home.path(), "Lumora");
    fs::create_directories(entry.parent_path());
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Lumora\n"
                            "Exec=env LUMORA_API_BASE=http://127.0.0.1:40001 /gone/build/lumora\n";

    Options options = ReadOptions();
    options.configHome = home.path().string();
    options.ApiBaseAddress = c.apiBase;
    options.apiBaseTemporary = c.temporary;
    std::string program;
    {
      ScopedVariable path("PATH", bin.string());
      WindowFixture f(true, options);
      EXPECT_TRUE(control<QCheckBox>(*f.window, "选择框_开机自启")->isChecked());
      program = c.installed ? (bin / "lumora").string() : f.objects.programPath;
    }
    EXPECT_EQ(readAll(entry), AutostartEntryText("Lumora", program, c.expectedBase));
    EXPECT_EQ(std::system(("desktop-file-validate " + quoted(entry)).c_str()), 0) << readAll(entry);
    if (!c.installed) continue;
    ASSERT_EQ(std::system(("gio launch " + quoted(entry)).c_str()), 0) << readAll(entry);
    EXPECT_TRUE(waitFor([&] { return !readAll(record).empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(readAll(record), program + "\n" + c.expectedBase + "\n");
  }
}

}  // namespace
}  // namespace lumora::test

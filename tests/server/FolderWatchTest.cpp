// After a scan, the watch lets go of the folders that went within the scan's areas, and of
// nothing else: a folder whose name starts as a scanned one is not in its subtree.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "library/FolderWatch.h"
#include "support/TempDir.h"

namespace lumora::server {
namespace {

TEST(FolderWatch, AScanStopsWatchingOnlyTheFoldersGoneWithinItsAreas) {
  const std::vector<std::string> folders = {"", "A", "A b", "A/x", "A/x/y", "A0", "B"};
  const std::set<std::string> all(folders.begin(), folders.end());
  const struct Case {
    const char* what;
    std::vector<ScanArea> areas;
    std::vector<std::string> found;
    std::set<std::string> watched;
  } cases[] = {
      {"a folder's subtree gone, not its neighbours of like names", {{"A", true}}, {"A"},
       {"", "A", "A b", "A0", "B"}},
      {"the folder scanned gone itself", {{"A/x", true}}, {}, {"", "A", "A b", "A0", "B"}},
      {"folders found again keep their watches", {{"A", true}}, {"A", "A/x", "A/x/y"}, all},
      {"a folder scanned alone is no subtree", {{"A", false}}, {}, all},
      {"the whole library", {{"", true}}, {"", "B"}, {"", "B"}},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string root = dir.path().string();
    for (const std::string& folder : folders) std::filesystem::create_directories(dir.path() / folder);
    FolderWatch watch;
    ASSERT_TRUE(watch.watching()) << watch.failure();
    for (const std::string& folder : folders) ASSERT_TRUE(watch.Add(root, folder)) << folder;
    watch.Prune(c.areas, c.found);
    for (const std::string& folder : folders) std::ofstream(dir.path() / folder / "new.mp3") << "x";
    std::set<std::string> seen;
    for (FolderWatch::Events events; watch.Wait(300, events);)
      for (const ScanArea& area : events.areas) seen.insert(area.dir);
    EXPECT_EQ(seen, c.watched) << c.what;
  }
}

}  // namespace
}  // namespace lumora::server

#include "support/TestLibrary.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"

namespace lumora::test {

bool MakeTestLibrary(const std::filesystem::path& dir, std::string& error) {
  // The encoded tones are kept for the whole build tree: the maker then only copies and tags.
  const std::filesystem::path cache = buildDir() / "test-data" / "library-audio";
  const std::filesystem::path log = dir.string() + ".maker-log";
  const std::string command = std::string("/usr/bin/python3 '") + LUMORA_TEST_LIBRARY_MAKER +
                              "' '" + dir.string() + "' '" + cache.string() + "' >'" +
                              log.string() + "' 2>&1";
  const bool made = std::system(command.c_str()) == 0;
  std::stringstream text;
  text << std::ifstream(log).rdbuf();
  error = text.str();
  std::error_code ec;
  std::filesystem::remove(log, ec);
  return made;
}

}  // namespace lumora::test

#include "library/PathNames.h"

#include <regex>
#include <vector>

#include "songfiles/TextEncodings.h"

namespace lumora::server {
namespace {

std::vector<std::string> Parts(const std::string& path) {
  std::vector<std::string> parts;
  for (std::size_t from = 0; from <= path.size();) {
    const std::size_t slash = std::min(path.find('/', from), path.size());
    parts.push_back(path.substr(from, slash - from));
    from = slash + 1;
  }
  return parts;
}

}  // namespace

void NameFromPath(const std::string& path, SongFileTags& tags) {
  const std::vector<std::string> parts = Parts(path);
  std::smatch m;
  if (tags.title.empty()) {
    const std::string leaf = ReadableName(parts.back());
    const std::string stem = leaf.substr(0, std::min(leaf.rfind('.'), leaf.size()));
    // A number of one to three digits and a dash or a dot before the title, or of two digits
    // alone.
    static const std::regex numbered(R"(^(\d{1,3})\s*[-.]\s*(\S.*)$|^(\d{2})\s+(\S.*)$)");
    if (std::regex_match(stem, m, numbered)) {
      const int n = m[1].matched ? 1 : 3;
      if (tags.track == 0) tags.track = std::stoi(m[n].str());
      tags.title = m[n + 1].str();
    }
  }
  // "2010 - Wild Harbor" under its artist's folder: a folder of an album, named so.
  static const std::regex albumFolder(R"(^(?:19|20)\d\d\s*-\s*(\S.*)$)");
  if (parts.size() < 3) return;
  const std::string album = ReadableName(parts[parts.size() - 2]);
  if (!std::regex_match(album, m, albumFolder)) return;
  if (tags.album.empty()) tags.album = m[1].str();
  if (tags.artists.empty()) tags.artists.push_back(ReadableName(parts[parts.size() - 3]));
}

}  // namespace lumora::server

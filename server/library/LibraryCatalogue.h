#pragma once
// The catalogue of a user's library, made from its saved index: albums by their tags, one
// playlist per album and one per folder. It is made of a part per album folder (an album folder
// and its disc folders), kept between changes: a change reads again and rebuilds only the album
// folders of the files it wrote or removed, and the next catalogue shares every other part. The
// parts are cut into segments of about segmentSongs songs, each with its search indexes: a change
// folds again the names of the segments it touched, and the next catalogue shares the others.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/Catalogue.h"
#include "library/LibraryIndex.h"
#include "library/LibraryScan.h"

namespace lumora::server {

// Albums as AlbumGrouping makes them (a song without an album tag is in its album folder's
// album), each with its playlist; a folder has its own playlist only where it holds more than
// one album's songs, in file name order. A link to a folder inside the library gives the folders
// it reaches their playlists under its own name too. A song the player downloaded from this
// library into it is listed once, where it was.
class LibraryCatalogue {
 public:
  explicit LibraryCatalogue(std::size_t segmentSongs = 512) : segmentSongs_(segmentSongs) {}
  // Builds every part from the index.
  std::shared_ptr<const Catalogue> Build(const std::string& realRoot, LibraryIndex& index,
                                         const std::vector<FolderLink>& links);
  // After a Build: the files at paths (below the root) were written or removed; their album
  // folders are read again.
  std::shared_ptr<const Catalogue> Update(LibraryIndex& index,
                                          const std::vector<std::string>& paths);
  // Whether Build has made it for the library at realRoot.
  bool BuiltFor(const std::string& realRoot) const { return built_ && realRoot == realRoot_; }

 private:
  struct Folder {
    std::shared_ptr<const CataloguePart> part;
    // What tells a copy (CopyKey) of a download folder's songs, with their ids; of another
    // folder's songs.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> downloads;
    std::vector<std::uint64_t> shows;
  };
  using Folders = std::map<std::string, Folder>;
  void Make(const std::string& albumFolder, std::vector<IndexedFile> rows);
  // The segment that holds albumFolder's part, or would, is cut again at the next Served.
  void Touched(const std::string& albumFolder);
  // The touched segments cut again, a small one with the next.
  void CutAgain();
  // Segments of the parts from first to last.
  void Cut(Folders::const_iterator first, Folders::const_iterator last);
  // The downloads that copy another song, or an earlier download; true when they changed.
  bool FindCopies();
  void ReadAgain(LibraryIndex& index, const std::string& albumFolder);
  void ReadDownloadsAgain(LibraryIndex& index);
  // The album folders in the player's download folder.
  std::vector<std::string> DownloadFolders() const;
  // The next catalogue, sharing what it can with the last one made.
  std::shared_ptr<const Catalogue> Served();

  bool built_ = false;
  std::string realRoot_, rootName_;
  std::vector<FolderLink> links_;
  const std::size_t segmentSongs_;
  Folders folders_;  // by album folder, below the root
  // By the first album folder they hold; the first also holds any folder before it.
  std::map<std::string, std::shared_ptr<const CatalogueSegment>> segments_;
  std::set<std::string> touched_;  // of segments_
  std::shared_ptr<const Catalogue> last_;
  std::unordered_set<std::uint64_t> copies_;
};

}  // namespace lumora::server

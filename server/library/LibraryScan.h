#pragma once
// Brings the saved index up to date with parts of the library's folder: files whose size and
// modification time match their row are not read again, and a file that vanished from one path
// and appeared at another in the same scan, with the same size and content fingerprint, keeps its
// id (and so the likes that name it) and takes the tags it has now. Folders and files are opened
// beneath the root through no link (OpenBeneath.h); tags are read by the tag readers.
#include <functional>
#include <string>
#include <vector>

#include "library/LibraryIndex.h"
#include "songfiles/TagReader.h"

namespace lumora::server {

// A folder below the root ("" is the root itself), with or without the folders below it.
struct ScanArea {
  std::string dir;
  bool recursive = true;

  // Whether path (a file or folder below the root) is in the area.
  bool Holds(const std::string& path) const;
};

// Whether path is dir itself or lies below it (paths below the root; "" is the root).
bool IsWithin(const std::string& dir, const std::string& path);

// A link to a folder inside the library: link and target below the root.
struct FolderLink {
  std::string link, target;
  bool operator==(const FolderLink&) const = default;
};

struct ScanOutcome {
  int filesRead = 0;
  bool indexChanged = false;
  std::vector<std::string> folders;  // every folder walked, below the root
  std::vector<FolderLink> links;     // the folder links met in the walked folders
  // Cut short when asked to stop: the batches read so far are in the index, nothing is removed.
  bool stopped = false;
  bool rootUnreadable = false;  // the root could not be opened: stopped, nothing changed
  std::string indexFailure;  // why the index file refused the changes (see LibraryIndex::Apply)
};

// How many files a scan reads at once: opening and parsing files is most of a first scan.
unsigned ReadingThreads();
// How many files are read between two writes of the index.
inline constexpr std::size_t kScanBatch = 500;

// entering is called with each folder before its files are listed, so that a watch set up there
// misses nothing written meanwhile; stopAsked between folders and files, from several threads;
// committed (when given) after each batch of files is in the index.
ScanOutcome ScanAreas(const std::string& realRoot, LibraryIndex& index,
                      const std::vector<ScanArea>& areas,
                      const std::function<void(const std::string& folder)>& entering,
                      const std::function<bool()>& stopAsked, TagReaders& readers,
                      const std::function<void()>& committed = nullptr);

}  // namespace lumora::server

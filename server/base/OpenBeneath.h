#pragma once
// The library is a jail: a link inside it may point anywhere, and a folder may be swapped for a
// link at any moment. So everything of it is opened beneath its real root, through no link at
// all, at the moment it is read: the walk's folders, the songs, their lyric files and pictures,
// and every file a request serves. A link the library itself holds is followed once, to where it
// leads when that lies inside the root, and that place is opened the same way.
#include <optional>
#include <string>

namespace lumora::server {

// Opens path (absolute, inside root, both real paths) with flags, resolving it beneath root with
// no link on the way; -1 (errno set) when it cannot be. openat2 does it where the kernel has it,
// else WalkBeneath.
int OpenBeneath(const std::string& root, const std::string& path, int flags);
// The same, one step at a time, every step opened without following a link.
int WalkBeneath(const std::string& root, const std::string& path, int flags);

// The folder dir below root ("" is root itself) opened for listing, as OpenBeneath opens.
int OpenFolderBeneath(const std::string& root, const std::string& dir);

// The regular file path inside root opened for reading: beneath root through no link, or, when
// path is itself a link, the file it leads to when that lies inside root; -1 otherwise.
int OpenFileBeneath(const std::string& root, const std::string& path);
// Its bytes when it opens so and holds at most most; nullopt otherwise.
std::optional<std::string> ReadFileBeneath(const std::string& root, const std::string& path,
                                           std::size_t most);
// The bytes of the file open at fd when it holds at most most; nullopt otherwise.
std::optional<std::string> ReadOpenFile(int fd, std::size_t most);

// The path with every link resolved; empty when it does not lead anywhere.
std::string RealPath(const std::string& path);

}  // namespace lumora::server

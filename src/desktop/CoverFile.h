#pragma once
// The cover the face shows, kept as a file that other programs (the desktop's media controls)
// can open: one file per song, the previous song's removed when the next one is written.
#include <string>

namespace lumora {

class CoverFile {
 public:
  explicit CoverFile(std::string folder) : folder_(std::move(folder)) {}
  ~CoverFile();
  CoverFile(const CoverFile&) = delete;
  CoverFile& operator=(const CoverFile&) = delete;

  // The new file's path; empty, with no file left behind, when the bytes are no picture (the
  // face then shows its designed cover) or the folder cannot be written.
  std::string write(const std::string& songId, const std::string& bytes);
  const std::string& path() const { return path_; }

 private:
  void remove();

  std::string folder_;
  std::string path_;
};

}  // namespace lumora

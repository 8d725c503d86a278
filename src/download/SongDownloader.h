#pragma once
// Saving the song that is playing: fetch its audio, write it tagged into the download folder, and
// tell the user how it went. The window shows what the download asks through DownloadView.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "download/Id3Writer.h"

namespace lumora {

// Made under the user's music folder: beside an installed program is no place for their files.
inline constexpr std::string_view kDownloadFolderName = "下载音乐";

// What the download reads of the song playing at the moment of the click.
struct SongToDownload {
  std::string playUrl;      // empty until a song was started
  std::string displayName;  // the file name stem and the name in the success message
  std::string title;
  std::string artists;  // joined by ","
  std::string album;
  std::string cover;  // the bytes of the picture shown as the cover; may be empty
};

class DownloadView {
 public:
  virtual ~DownloadView() = default;
  // Set before the fetch starts, cleared when the download is done either way.
  virtual void setDownloadRunning(bool running) = 0;
  // A box with an OK button, no icon, owned by the main window.
  virtual void showDownloadMessage(const std::string& text, const std::string& title) = 0;
};

// The display name as a file name ending in ".mp3": "/" and NUL become "_", and the name is cut
// at a character boundary to the file system's 255 bytes, so it always names a file inside the
// folder.
std::string SafeFileName(std::string_view displayName);

class SongDownloader {
 public:
  // Whole body of a GET, empty on any failure.
  using Fetch = std::function<std::string(const std::string& url)>;

  SongDownloader(std::filesystem::path folder, DownloadView& view, Fetch fetch);

  // The click on the download button. Blocks until the song is saved or has failed.
  void DownloadCurrentSong(const SongToDownload& song);

 private:
  bool save(const SongToDownload& song, const std::filesystem::path& file);

  std::filesystem::path folder_;
  DownloadView& view_;
  Fetch fetch_;
};

}  // namespace lumora

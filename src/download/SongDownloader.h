#pragma once
// Saving the song that is playing: fetch its audio, write it into the download folder under its
// own format's extension (an MP3 with our ID3 tag, any other format with its own tags), and tell
// the user how it went. The window shows what the download asks through DownloadView.
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

// The display name as a file name ending in "." and the extension: "/" and NUL become "_", and
// the name is cut at a character boundary to the file system's 255 bytes, so it always names a
// file inside the folder.
std::string SafeFileName(std::string_view displayName, std::string_view extension = "mp3");

// The extension of the format the audio's first bytes show: "flac", "ogg", "opus", "m4a",
// "wav", else "mp3" (MPEG audio, with or without its tag, and anything unknown, as before).
std::string_view AudioExtension(std::string_view audio);

class SongDownloader {
 public:
  // Whole body of a GET, empty on any failure.
  using Fetch = std::function<std::string(const std::string& url)>;

  SongDownloader(std::filesystem::path folder, DownloadView& view, Fetch fetch);

  // The click on the download button. Blocks until the song is saved or has failed.
  void DownloadCurrentSong(const SongToDownload& song);

 private:
  bool save(const SongToDownload& song);

  std::filesystem::path folder_;
  DownloadView& view_;
  Fetch fetch_;
};

}  // namespace lumora

#include "download/SongDownloader.h"

#include <utility>

namespace lumora {
namespace {

constexpr std::string_view kFileExtension = ".mp3";
constexpr std::size_t kMaxFileNameBytes = 255;

}  // namespace

std::string SafeFileName(std::string_view displayName) {
  std::string stem(displayName);
  for (char& c : stem) {
    if (c == '/' || c == '\0') c = '_';
  }
  std::size_t room = kMaxFileNameBytes - kFileExtension.size();
  if (stem.size() > room) {
    // Step back over UTF-8 continuation bytes so no character is cut in half.
    while (room > 0 && (static_cast<unsigned char>(stem[room]) & 0xC0) == 0x80) --room;
    stem.resize(room);
  }
  return stem + std::string(kFileExtension);
}

SongDownloader::SongDownloader(std::filesystem::path folder, DownloadView& view, Fetch fetch)
    : folder_(std::move(folder)), view_(view), fetch_(std::move(fetch)) {}

bool SongDownloader::save(const SongToDownload& song, const std::filesystem::path& file) {
  const std::string audio = fetch_(song.playUrl);
  // A failed fetch must not replace a good earlier download with an empty one.
  if (audio.empty()) return false;
  TagRecord record;
  record.artist = song.artists;
  record.title = song.title;
  record.album = song.album;
  record.picture = song.cover;
  // The write is tried twice, the fetch once: a dead server is waited for only once.
  return WriteTaggedFile(file, record, audio) || WriteTaggedFile(file, record, audio);
}

void SongDownloader::DownloadCurrentSong(const SongToDownload& song) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder_, ec)) std::filesystem::create_directories(folder_, ec);
  if (song.playUrl.empty()) {
    view_.showDownloadMessage("视频地址为空", "失败提醒");
    return;
  }
  const std::filesystem::path file = folder_ / SafeFileName(song.displayName);
  view_.setDownloadRunning(true);
  const bool saved = save(song, file);
  view_.setDownloadRunning(false);
  if (saved) {
    // The file is far from the program, so say where it went.
    view_.showDownloadMessage(song.displayName + "下载成功\n已保存到 " + folder_.string(),
                              "下载成功");
  } else {
    view_.showDownloadMessage("音乐下载【失败】", "下载失败");
  }
}

}  // namespace lumora

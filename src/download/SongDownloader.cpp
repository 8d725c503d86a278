#include "download/SongDownloader.h"

#include <utility>

#include "common/AtomicFile.h"

namespace lumora {
namespace {

constexpr std::size_t kMaxFileNameBytes = 255;

}  // namespace

std::string_view AudioExtension(std::string_view audio) {
  if (audio.substr(0, 4) == "fLaC") return "flac";
  if (audio.substr(0, 4) == "RIFF" && audio.substr(8, 4) == "WAVE") return "wav";
  if (audio.substr(4, 4) == "ftyp") return "m4a";
  // The first page of an Ogg stream holds its codec's header alone.
  if (audio.substr(0, 4) == "OggS")
    return audio.substr(0, 80).find("OpusHead") != std::string_view::npos ? "opus" : "ogg";
  return "mp3";
}

std::string SafeFileName(std::string_view displayName, std::string_view extension) {
  std::string stem(displayName);
  for (char& c : stem) {
    if (c == '/' || c == '\0') c = '_';
  }
  std::size_t room = kMaxFileNameBytes - extension.size() - 1;
  if (stem.size() > room) {
    // Step back over UTF-8 continuation bytes so no character is cut in half.
    while (room > 0 && (static_cast<unsigned char>(stem[room]) & 0xC0) == 0x80) --room;
    stem.resize(room);
  }
  return stem + "." + std::string(extension);
}

SongDownloader::SongDownloader(std::filesystem::path folder, DownloadView& view, Fetch fetch)
    : folder_(std::move(folder)), view_(view), fetch_(std::move(fetch)) {}

bool SongDownloader::save(const SongToDownload& song) {
  const std::string audio = fetch_(song.playUrl);
  // A failed fetch must not replace a good earlier download with an empty one.
  if (audio.empty()) return false;
  const std::string_view extension = AudioExtension(audio);
  const std::filesystem::path file = folder_ / SafeFileName(song.displayName, extension);
  TagRecord record;
  record.artist = song.artists;
  record.title = song.title;
  record.album = song.album;
  record.picture = song.cover;
  // Other formats keep the tags they came with: an ID3 tag in front would spoil the file.
  auto write = [&] {
    return extension == "mp3" ? WriteTaggedFile(file, record, audio)
                              : !WriteFileAtomically(file, audio);
  };
  // The write is tried twice, the fetch once: a dead server is waited for only once.
  return write() || write();
}

void SongDownloader::DownloadCurrentSong(const SongToDownload& song) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder_, ec)) std::filesystem::create_directories(folder_, ec);
  if (song.playUrl.empty()) {
    view_.showDownloadMessage("视频地址为空", "失败提醒");
    return;
  }
  view_.setDownloadRunning(true);
  const bool saved = save(song);
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

#include "DemoCatalogue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "MediaWriter.h"
#include "Synth.h"

namespace fs = std::filesystem;

namespace lumora::server {

namespace {

constexpr const char* kMarker = ".complete";
constexpr const char* kVersion = "lumora-demo 1\n";
constexpr int kRegularSongs = 30;
constexpr int kKbps = 128;

const Artist kArtists[] = {{101, "林夕雨"},       {102, "Aurora Lane"}, {103, "陈默"},
                           {104, "Nova Quartet"}, {105, "苏晓"},        {106, "Echo Harbour"},
                           {107, "月光乐队"}};

struct AlbumDef {
  std::uint64_t id;
  const char* name;
  const char* genre;
};
const AlbumDef kAlbums[] = {{201, "晨光 Morning Light", "华语"},
                            {202, "Midnight Transit", "欧美"},
                            {203, "城市边缘", "流行"},
                            {204, "Paper & Ink", "浪漫"},
                            {205, "旧时光", "怀旧"},
                            {206, "Harbour Sessions", "酒吧"},
                            {207, "夏日记事", "校园"},
                            {208, "Blue Hour", "经典"},
                            {209, "测试短曲 Short Cuts", "综艺"}};

const char* const kSongNames[kRegularSongs] = {
    "晨光序曲",   "Midnight Tram",  "雨后的街", "Paper Lanterns",
    "风的方向",   "Neon Rivers",    "夏夜晚风", "Slow Orbit",
    "旧时光",     "Harbour Lights", "星河",     "Coffee at Four",
    "青春纪念册", "Amber Sky",      "远方的信", "Lullaby for Robots",
    "山间小路",   "Velvet Morning", "城市的灯", "Glass Garden",
    "花开半夏",   "Northern Line",  "月亮船",   "Sunday Static",
    "听海",       "Kite Season",    "归途",     "Blue Hour Waltz",
    "无尽的夏天", "Last Train Home"};

const char* const kLines[] = {"晨光落在窗台上",   "Morning light upon the sill",
                              "我们走过长长的街", "We walk the long road home",
                              "风把名字吹得很远", "Carry me across the sea",
                              "灯火一盏一盏亮起", "Every lantern knows your name",
                              "心事写进旋律里",   "Hold the quiet for a while",
                              "等一场温柔的雨",   "Dancing slowly in the rain",
                              "星星在海面上闪烁", "Stars are falling into place",
                              "把昨天轻轻放下",   "Sing it once and let it go"};

struct SongDef {
  std::uint64_t id;
  std::string name;
  std::vector<Artist> artists;
  std::uint64_t albumId;
  SongPlan plan;
  bool membersOnly = false;
  enum { kTimed, kNone, kUntimed } lyric = kTimed;
};

std::vector<SongDef> SongDefs() {
  std::vector<SongDef> defs;
  for (int i = 0; i < kRegularSongs; ++i) {
    SongDef d;
    d.id = i == 7 ? demo::kBigSongId : 1000001 + static_cast<std::uint64_t>(i);
    d.name = kSongNames[i];
    d.artists.push_back(kArtists[i % 7]);
    if (i % 5 == 4) d.artists.push_back(kArtists[(i + 3) % 7]);
    d.albumId = 201 + static_cast<std::uint64_t>(i / 4);
    d.plan.seed = 7919u * static_cast<std::uint32_t>(i + 1);
    d.plan.rootMidi = 50 + (i * 5) % 12;
    d.plan.minor = i % 3 == 1;
    d.plan.bpm = 72 + (i * 13) % 64;
    d.plan.seconds = 20 + (i * 37) % 71;
    d.membersOnly = d.id == demo::kMembersOnlySongId;
    if (d.id == demo::kNoLyricSongId) d.lyric = SongDef::kNone;
    if (d.id == demo::kUntimedLyricSongId) d.lyric = SongDef::kUntimed;
    defs.push_back(d);
  }
  const char* shortNames[] = {"短歌一 Blip", "短歌二 Chirp", "短歌三 Ping"};
  for (int i = 0; i < 3; ++i) {
    SongDef d;
    d.id = demo::kFirstShortSongId + static_cast<std::uint64_t>(i);
    d.name = shortNames[i];
    d.artists.push_back(kArtists[6]);
    d.albumId = 209;
    d.plan.seed = 31u + static_cast<std::uint32_t>(i);
    d.plan.rootMidi = 60 + i * 2;
    d.plan.bpm = 120;  // one bar is two seconds; a short song is one bar long
    d.plan.seconds = 2.0 + 0.5 * i;
    if (i > 0) d.plan.bpm = i == 1 ? 96 : 80;
    defs.push_back(d);
  }
  return defs;
}

double PlanSeconds(const SongPlan& plan) {
  double bar = 4 * 60.0 / plan.bpm;
  return std::max(1, static_cast<int>(std::ceil(plan.seconds / bar))) * bar;
}

std::string Stamp(double seconds) {
  int cs = static_cast<int>(seconds * 100);
  char buf[48];
  std::snprintf(buf, sizeof buf, "[%02d:%02d.%02d]", cs / 6000, cs / 100 % 60, cs % 100);
  return buf;
}

std::string MakeLyric(const SongDef& d, std::size_t index) {
  if (d.lyric == SongDef::kNone) return "";
  if (d.lyric == SongDef::kUntimed)
    return "这是一段没有时间标签的歌词\nThis lyric has no time tags\n只有文字 just words\n";
  const double bar = 4 * 60.0 / d.plan.bpm;
  const double total = PlanSeconds(d.plan);
  std::string lrc = Stamp(0) + d.name + " - " + d.artists[0].name + "\n";
  std::size_t line = index * 3;
  for (double t = bar; t < total - 0.5; t += 2 * bar, ++line) {
    std::string text = kLines[line % 16];
    if (index == 0 && line == 2) text = "她说 \"别走\" \\ she said \"stay\"";
    lrc += Stamp(t) + text + "\n";
  }
  return lrc;
}

struct PlaylistDef {
  std::uint64_t id;
  const char* name;
  std::vector<std::string> categories;
  std::int64_t playCount;
};

std::vector<PlaylistDef> PlaylistDefs() {
  return {{3000001, "华语流行精选", {"华语", "流行"}, 985210},
          {3000002, "Evening Café 下午茶", {"下午茶", "浪漫", "欧美"}, 402113},
          {3000003, "学习专注 Study Focus", {"学习", "工作"}, 733002},
          {3000004, "午休轻音乐", {"午休", "学习"}, 120480},
          {3000005, "KTV 必点金曲", {"KTV", "流行", "华语"}, 1520330},
          {3000006, "80后的青春回忆", {"80后", "70后", "怀旧", "经典"}, 288800},
          {3000007, "校园民谣时光", {"校园", "90后", "华语"}, 96500},
          {3000008, "影视原声 Soundtracks", {"影视原声", "综艺"}, 51200},
          {3000009, "Bar Night 酒吧之夜", {"酒吧", "欧美", "00后"}, 640090},
          {3000010, "网络热歌榜", {"网络歌曲", "榜单", "流行"}, 2210000},
          {demo::kHugePlaylistId, "全曲库 2000 首", {"榜单", "经典"}, 3300000},
          {demo::kBigPlaylistId, "超大编号 Big Id", {"经典", "怀旧"}, 77777},
          {demo::kShortPlaylistId, "短歌测试 Short Songs", {"综艺"}, 1024}};
}

std::string AudioPath(const std::string& dir, std::uint64_t id) {
  return dir + "/audio/" + std::to_string(id) + ".mp3";
}
std::string LyricPath(const std::string& dir, std::uint64_t id) {
  return dir + "/audio/" + std::to_string(id) + ".lrc";
}
std::string AlbumCoverPath(const std::string& dir, std::uint64_t id) {
  return dir + "/covers/album-" + std::to_string(id) + ".jpg";
}
std::string PlaylistCoverPath(const std::string& dir, std::uint64_t id) {
  return dir + "/covers/playlist-" + std::to_string(id) + ".jpg";
}

const char* AlbumName(std::uint64_t id) {
  for (const auto& a : kAlbums)
    if (a.id == id) return a.name;
  return "";
}
const char* AlbumGenre(std::uint64_t id) {
  for (const auto& a : kAlbums)
    if (a.id == id) return a.genre;
  return "";
}

bool Generate(const std::string& dir, std::string* error) {
  fs::create_directories(dir + "/audio");
  fs::create_directories(dir + "/covers");
  const std::vector<SongDef> songs = SongDefs();
  const std::vector<PlaylistDef> playlists = PlaylistDefs();
  // Jobs: every song, then every cover; two workers share them.
  const std::size_t jobs = songs.size() + std::size(kAlbums) + playlists.size();
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  auto work = [&] {
    for (std::size_t j; (j = next++) < jobs && !failed;) {
      std::string err;
      bool ok = true;
      if (j < songs.size()) {
        const SongDef& d = songs[j];
        SynthResult audio = SynthesiseSong(d.plan);
        std::string path = AudioPath(dir, d.id);
        ok = WriteMp3(path, audio.samples, audio.rate, kKbps, &err);
        if (ok) {
          TagLib::FileRef file(path.c_str());
          if (!file.isNull() && file.tag()) {
            std::string artists;
            for (const auto& a : d.artists) artists += (artists.empty() ? "" : "/") + a.name;
            file.tag()->setTitle(TagLib::String(d.name, TagLib::String::UTF8));
            file.tag()->setArtist(TagLib::String(artists, TagLib::String::UTF8));
            file.tag()->setAlbum(TagLib::String(AlbumName(d.albumId), TagLib::String::UTF8));
            file.tag()->setGenre(TagLib::String(AlbumGenre(d.albumId), TagLib::String::UTF8));
            file.save();
          }
          std::string lyric = MakeLyric(d, j);
          if (!lyric.empty()) std::ofstream(LyricPath(dir, d.id), std::ios::binary) << lyric;
        }
      } else if (j < songs.size() + std::size(kAlbums)) {
        std::uint64_t id = kAlbums[j - songs.size()].id;
        ok = WriteJpeg(AlbumCoverPath(dir, id),
                       MakeCoverPixels(static_cast<std::uint32_t>(id), 300), 300, 300, &err);
      } else {
        std::uint64_t id = playlists[j - songs.size() - std::size(kAlbums)].id;
        ok = WriteJpeg(PlaylistCoverPath(dir, id),
                       MakeCoverPixels(static_cast<std::uint32_t>(id % 100000 + 5000), 300), 300,
                       300, &err);
      }
      if (!ok) {
        std::lock_guard lock(errorMutex);
        failed = true;
        if (error) *error = err;
      }
    }
  };
  std::thread helper(work);
  work();
  helper.join();
  if (failed) return false;
  std::ofstream(dir + "/" + kMarker) << kVersion;
  return true;
}

bool Complete(const std::string& dir) {
  std::ifstream in(dir + "/" + kMarker);
  std::stringstream text;
  text << in.rdbuf();
  return text.str() == kVersion;
}

}  // namespace

bool EnsureDemoFiles(const std::string& dir, GenerationReport* report, std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  int lock = open((dir + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) {
    if (error) *error = "cannot write in " + dir;
    return false;
  }
  flock(lock, LOCK_EX);
  bool ok = true;
  if (!Complete(dir)) {
    auto start = std::chrono::steady_clock::now();
    ok = Generate(dir, error);
    if (report) {
      report->generated = true;
      report->seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
  }
  if (report) {
    for (const auto& entry : fs::recursive_directory_iterator(dir, ec)) {
      if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
      ++report->files;
      report->bytes += entry.file_size();
    }
  }
  flock(lock, LOCK_UN);
  close(lock);
  return ok;
}

Catalogue LoadDemoCatalogue(const std::string& dir) {
  Catalogue cat;
  for (const auto& a : kAlbums)
    cat.albums.push_back(
        {a.id, a.name, a.id == 209 ? "EP" : "专辑", AlbumCoverPath(dir, a.id), "", "image/jpeg"});
  std::vector<SongDef> defs = SongDefs();
  for (const SongDef& d : defs) {
    Song s;
    s.id = d.id;
    s.name = d.name;
    s.artists = d.artists;
    s.albumId = d.albumId;
    s.durationMs = static_cast<std::int64_t>(PlanSeconds(d.plan) * 1000);
    s.audioFile = AudioPath(dir, d.id);
    std::ifstream in(LyricPath(dir, d.id), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    s.lyric = text.str();
    s.membersOnly = d.membersOnly;
    if (d.albumId != 209) cat.fmPool.push_back(cat.songs.size());
    cat.songs.push_back(std::move(s));
  }
  // The 2 000-track playlist repeats the regular songs under ids of their own.
  std::vector<std::uint64_t> hugeTracks;
  for (int k = 0; k < 2000; ++k) {
    Song copy = cat.songs[static_cast<std::size_t>(k % kRegularSongs)];
    copy.id = 5000001 + static_cast<std::uint64_t>(k);
    copy.name += " (" + std::to_string(k / kRegularSongs + 1) + ")";
    hugeTracks.push_back(copy.id);
    cat.songs.push_back(std::move(copy));
  }
  int p = 0;
  for (const PlaylistDef& d : PlaylistDefs()) {
    Playlist pl;
    pl.id = d.id;
    pl.name = d.name;
    pl.coverFile = PlaylistCoverPath(dir, d.id);
    pl.categories = d.categories;
    pl.playCount = d.playCount;
    if (d.id == demo::kHugePlaylistId) {
      pl.trackIds = hugeTracks;
    } else if (d.id == demo::kShortPlaylistId) {
      for (std::uint64_t i = 0; i < 3; ++i) pl.trackIds.push_back(demo::kFirstShortSongId + i);
    } else {
      for (int k = 0; k < 8 + p % 5; ++k) {
        std::uint64_t id = defs[static_cast<std::size_t>((p * 7 + k * 3) % kRegularSongs)].id;
        if (std::find(pl.trackIds.begin(), pl.trackIds.end(), id) == pl.trackIds.end())
          pl.trackIds.push_back(id);
      }
      if (d.id == demo::kBigPlaylistId &&
          std::find(pl.trackIds.begin(), pl.trackIds.end(), demo::kBigSongId) == pl.trackIds.end())
        pl.trackIds.insert(pl.trackIds.begin(), demo::kBigSongId);
    }
    cat.playlists.push_back(std::move(pl));
    ++p;
  }
  cat.Index();
  return cat;
}

}  // namespace lumora::server

#include "generated/GeneratedCatalogue.h"

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

#include "generated/DrawnPictures.h"
#include "generated/Encoders.h"

namespace fs = std::filesystem;

namespace lumora::server {

namespace {

constexpr const char* kStampFile = ".complete";
constexpr int kKbps = 128;
constexpr int kCoverSize = 300;

std::string AudioPath(const std::string& dir, std::uint64_t id) {
  return dir + "/audio/" + std::to_string(id) + ".mp3";
}
std::string AlbumCoverPath(const std::string& dir, std::uint64_t id) {
  return dir + "/covers/album-" + std::to_string(id) + ".jpg";
}
std::string PlaylistCoverPath(const std::string& dir, std::uint64_t id) {
  return dir + "/covers/playlist-" + std::to_string(id) + ".jpg";
}

bool HasStamp(const std::string& dir, const std::string& stamp) {
  std::ifstream in(dir + "/" + kStampFile);
  std::stringstream text;
  text << in.rdbuf();
  return text.str() == stamp;
}

// What an earlier recipe made, so that a remade folder holds only the new catalogue's files.
void RemoveMadeFiles(const std::string& dir) {
  std::error_code ec;
  fs::remove(dir + "/" + kStampFile, ec);
  for (const char* sub : {"/audio", "/covers"}) {
    for (const auto& entry : fs::directory_iterator(dir + sub, ec)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".mp3" || ext == ".lrc" || ext == ".jpg"))
        fs::remove(entry.path(), ec);
    }
  }
}

bool WriteSong(const CatalogueRecipe& recipe, const RecipeSong& song, const std::string& dir,
               std::string* error) {
  SynthResult audio = SynthesiseSong(song.plan);
  const std::string path = AudioPath(dir, song.id);
  if (!WriteMp3(path, audio.samples, audio.rate, kKbps, error)) return false;
  TagLib::FileRef file(path.c_str());
  if (file.isNull() || !file.tag()) return true;
  std::string artists;
  for (const auto& a : song.artists) artists += (artists.empty() ? "" : "/") + a.name;
  auto album = std::find_if(recipe.albums.begin(), recipe.albums.end(),
                            [&](const RecipeAlbum& a) { return a.id == song.albumId; });
  auto utf8 = [](const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); };
  file.tag()->setTitle(utf8(song.name));
  file.tag()->setArtist(utf8(artists));
  if (album != recipe.albums.end()) {
    file.tag()->setAlbum(utf8(album->name));
    file.tag()->setGenre(utf8(album->genre));
  }
  file.save();
  return true;
}

bool Generate(const CatalogueRecipe& recipe, const std::string& dir,
              const GenerationProgress& progress, std::string* error) {
  RemoveMadeFiles(dir);
  fs::create_directories(dir + "/audio");
  fs::create_directories(dir + "/covers");
  std::vector<const RecipeSong*> songs;
  for (const RecipeSong& s : recipe.songs)
    if (!s.audioOf) songs.push_back(&s);
  struct Cover {
    std::string path;
    std::uint32_t seed;
  };
  std::vector<Cover> covers;
  for (const RecipeAlbum& a : recipe.albums)
    covers.push_back({AlbumCoverPath(dir, a.id), a.coverSeed});
  for (const RecipePlaylist& p : recipe.playlists)
    covers.push_back({PlaylistCoverPath(dir, p.id), p.coverSeed});

  // Jobs: every song, then every cover; two workers share them.
  const std::size_t jobs = songs.size() + covers.size();
  const int total = static_cast<int>(songs.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex mutex;  // the error text, the count of songs made and the progress calls
  int made = 0;
  if (progress) progress(0, total);
  auto work = [&] {
    for (std::size_t j; (j = next++) < jobs && !failed;) {
      std::string err;
      bool ok;
      if (j < songs.size()) {
        ok = WriteSong(recipe, *songs[j], dir, &err);
      } else {
        const Cover& c = covers[j - songs.size()];
        ok = WriteJpeg(c.path, MakeCoverPixels(c.seed, kCoverSize), kCoverSize, kCoverSize, &err);
      }
      std::lock_guard lock(mutex);
      if (!ok) {
        failed = true;
        if (error) *error = err;
      } else if (j < songs.size() && progress) {
        progress(++made, total);
      }
    }
  };
  std::thread helper(work);
  work();
  helper.join();
  if (failed) return false;
  std::ofstream(dir + "/" + kStampFile) << recipe.stamp;
  return true;
}

}  // namespace

double PlanSeconds(const SongPlan& plan) {
  double bar = 4 * 60.0 / plan.bpm;
  return std::max(1, static_cast<int>(std::ceil(plan.seconds / bar))) * bar;
}

std::string TimedLyric(const std::string& firstLine, const SongPlan& plan,
                       const std::function<std::string(std::size_t)>& line) {
  auto stamp = [](double seconds) {
    int cs = static_cast<int>(seconds * 100);
    char buf[48];
    std::snprintf(buf, sizeof buf, "[%02d:%02d.%02d]", cs / 6000, cs / 100 % 60, cs % 100);
    return std::string(buf);
  };
  const double bar = 4 * 60.0 / plan.bpm;
  const double total = PlanSeconds(plan);
  std::string lrc = stamp(0) + firstLine + "\n";
  std::size_t n = 0;
  for (double t = bar; t < total - 0.5; t += 2 * bar) lrc += stamp(t) + line(n++) + "\n";
  return lrc;
}

bool EnsureCatalogueFiles(const CatalogueRecipe& recipe, const std::string& dir,
                          const GenerationProgress& progress, GenerationReport* report,
                          std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  int lock = open((dir + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) {
    if (error) *error = "cannot write in " + dir;
    return false;
  }
  flock(lock, LOCK_EX);
  bool ok = true;
  if (!HasStamp(dir, recipe.stamp)) {
    auto start = std::chrono::steady_clock::now();
    ok = Generate(recipe, dir, progress, error);
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

Catalogue BuildCatalogue(CatalogueRecipe recipe, const std::string& dir) {
  auto part = std::make_shared<CataloguePart>();
  for (RecipeAlbum& a : recipe.albums)
    part->albums.push_back(
        {a.id, std::move(a.name), std::move(a.type), AlbumCoverPath(dir, a.id), 0, false, "", "", 0});
  for (RecipeSong& r : recipe.songs) {
    Song s;
    s.id = r.id;
    s.name = std::move(r.name);
    s.artists = std::move(r.artists);
    s.albumId = r.albumId;
    s.durationMs = static_cast<std::int64_t>(PlanSeconds(r.plan) * 1000);
    s.audioFile = AudioPath(dir, r.audioOf ? r.audioOf : r.id);
    if (!r.lyric.empty()) part->lyrics.emplace(r.id, std::move(r.lyric));
    s.membersOnly = r.membersOnly;
    if (r.inFm) part->fmPool.push_back(part->songs.size());
    part->songs.push_back(std::move(s));
  }
  for (RecipePlaylist& p : recipe.playlists) {
    Playlist pl;
    pl.id = p.id;
    pl.name = std::move(p.name);
    pl.coverFile = PlaylistCoverPath(dir, p.id);
    pl.categories = std::move(p.categories);
    pl.playCount = p.playCount;
    pl.trackIds = std::move(p.trackIds);
    part->playlists.push_back(std::move(pl));
  }
  part->Index();
  return Catalogue({std::move(part)}, "");
}

}  // namespace lumora::server

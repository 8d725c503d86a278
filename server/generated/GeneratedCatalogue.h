#pragma once
// A catalogue made from a recipe: its songs synthesised to MP3 and its covers drawn to JPEG once
// into a folder, and reused on every later start while the folder carries the recipe's stamp.
#include <functional>
#include <string>

#include "catalogue/Catalogue.h"
#include "generated/Synth.h"

namespace lumora::server {

struct RecipeSong {
  std::uint64_t id = 0;
  std::string name;
  std::vector<Artist> artists;
  std::uint64_t albumId = 0;
  SongPlan plan;
  std::string lyric;  // LRC or plain text; empty = no lyric
  bool membersOnly = false;
  bool inFm = true;           // personal FM may play it
  std::uint64_t audioOf = 0;  // plays that song's file (and has its plan); 0 = a file of its own
};

struct RecipeAlbum {
  std::uint64_t id = 0;
  std::string name;
  std::string type;   // "专辑", "EP"
  std::string genre;  // written into the songs' tags
  std::uint32_t coverSeed = 0;
};

struct RecipePlaylist {
  std::uint64_t id = 0;
  std::string name;
  std::vector<std::string> categories;
  std::int64_t playCount = 0;
  std::vector<std::uint64_t> trackIds;
  std::uint32_t coverSeed = 0;
};

struct CatalogueRecipe {
  std::string title;  // "demo catalogue", for messages
  // Written into the folder once its files are complete; a folder with another stamp is made
  // again. Change it whenever the files a recipe makes change.
  std::string stamp;
  std::vector<RecipeAlbum> albums;
  std::vector<RecipeSong> songs;
  std::vector<RecipePlaylist> playlists;
};

// A plan's length: its seconds rounded up to whole bars.
double PlanSeconds(const SongPlan& plan);

// An LRC: firstLine at 0:00, then line(0), line(1)... every other bar from the second bar on,
// the last one at least half a second before the end.
std::string TimedLyric(const std::string& firstLine, const SongPlan& plan,
                       const std::function<std::string(std::size_t)>& line);

struct GenerationReport {
  bool generated = false;  // false: the folder was already complete
  double seconds = 0;
  int files = 0;
  std::uint64_t bytes = 0;
};

// Called with (0, total) before the first song is made and after each song, from one thread
// at a time.
using GenerationProgress = std::function<void(int songsMade, int songsTotal)>;

// Makes the recipe's files in dir unless the folder already holds them. Safe to call from
// several processes at once: one makes them, the others wait for it (a lock file in dir).
bool EnsureCatalogueFiles(const CatalogueRecipe& recipe, const std::string& dir,
                          const GenerationProgress& progress, GenerationReport* report,
                          std::string* error);

// The catalogue of the recipe over the files of dir.
Catalogue BuildCatalogue(CatalogueRecipe recipe, const std::string& dir);

}  // namespace lumora::server

#include "generated/TestCatalogue.h"

#include <algorithm>

namespace lumora::server {

namespace {

constexpr int kRegularSongs = 30;
constexpr std::uint64_t kShortAlbumId = 209;

const Artist kArtists[] = {{101, "林夕雨"},       {102, "Aurora Lane"}, {103, "陈默"},
                           {104, "Nova Quartet"}, {105, "苏晓"},        {106, "Echo Harbour"},
                           {107, "月光乐队"}};

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

std::vector<RecipeAlbum> Albums() {
  struct Def {
    std::uint64_t id;
    const char* name;
    const char* genre;
  };
  const Def defs[] = {{201, "晨光 Morning Light", "华语"},
                      {202, "Midnight Transit", "欧美"},
                      {203, "城市边缘", "流行"},
                      {204, "Paper & Ink", "浪漫"},
                      {205, "旧时光", "怀旧"},
                      {206, "Harbour Sessions", "酒吧"},
                      {207, "夏日记事", "校园"},
                      {208, "Blue Hour", "经典"},
                      {kShortAlbumId, "测试短曲 Short Cuts", "综艺"}};
  std::vector<RecipeAlbum> albums;
  for (const Def& d : defs)
    albums.push_back({d.id, d.name, d.id == kShortAlbumId ? "EP" : "专辑", d.genre,
                      static_cast<std::uint32_t>(d.id)});
  return albums;
}

// A timed lyric from the shared lines, the song's index choosing where it starts; the first
// song's third line carries quotes and a backslash.
std::string Lyric(const RecipeSong& song, std::size_t index) {
  return TimedLyric(song.name + " - " + song.artists[0].name, song.plan, [&](std::size_t n) {
    const std::size_t line = index * 3 + n;
    if (index == 0 && line == 2) return std::string("她说 \"别走\" \\ she said \"stay\"");
    return std::string(kLines[line % 16]);
  });
}

std::vector<RecipeSong> Songs() {
  std::vector<RecipeSong> songs;
  for (int i = 0; i < kRegularSongs; ++i) {
    RecipeSong s;
    s.id = i == 7 ? fixture::kBigSongId : 1000001 + static_cast<std::uint64_t>(i);
    s.name = kSongNames[i];
    s.artists.push_back(kArtists[i % 7]);
    if (i % 5 == 4) s.artists.push_back(kArtists[(i + 3) % 7]);
    s.albumId = 201 + static_cast<std::uint64_t>(i / 4);
    s.plan.seed = 7919u * static_cast<std::uint32_t>(i + 1);
    s.plan.rootMidi = 50 + (i * 5) % 12;
    s.plan.minor = i % 3 == 1;
    s.plan.bpm = 72 + (i * 13) % 64;
    s.plan.seconds = 20 + (i * 37) % 71;
    s.membersOnly = s.id == fixture::kMembersOnlySongId;
    if (s.id == fixture::kUntimedLyricSongId)
      s.lyric = "这是一段没有时间标签的歌词\nThis lyric has no time tags\n只有文字 just words\n";
    else if (s.id != fixture::kNoLyricSongId)
      s.lyric = Lyric(s, songs.size());
    songs.push_back(std::move(s));
  }
  const char* shortNames[] = {"短歌一 Blip", "短歌二 Chirp", "短歌三 Ping"};
  for (int i = 0; i < 3; ++i) {
    RecipeSong s;
    s.id = fixture::kFirstShortSongId + static_cast<std::uint64_t>(i);
    s.name = shortNames[i];
    s.artists.push_back(kArtists[6]);
    s.albumId = kShortAlbumId;
    s.plan.seed = 31u + static_cast<std::uint32_t>(i);
    s.plan.rootMidi = 60 + i * 2;
    s.plan.bpm = i == 0 ? 120 : i == 1 ? 96 : 80;  // a short song is one bar long
    s.plan.seconds = 2.0 + 0.5 * i;
    s.inFm = false;
    s.lyric = Lyric(s, songs.size());
    songs.push_back(std::move(s));
  }
  // The 2 000-track playlist repeats the regular songs under ids of their own.
  for (int k = 0; k < 2000; ++k) {
    RecipeSong copy = songs[static_cast<std::size_t>(k % kRegularSongs)];
    copy.audioOf = copy.id;
    copy.id = 5000001 + static_cast<std::uint64_t>(k);
    copy.name += " (" + std::to_string(k / kRegularSongs + 1) + ")";
    copy.inFm = false;
    songs.push_back(std::move(copy));
  }
  return songs;
}

std::vector<RecipePlaylist> Playlists(const std::vector<RecipeSong>& songs) {
  std::vector<RecipePlaylist> playlists = {
      {3000001, "华语流行精选", {"华语", "流行"}, 985210, {}, 0},
      {3000002, "Evening Café 下午茶", {"下午茶", "浪漫", "欧美"}, 402113, {}, 0},
      {3000003, "学习专注 Study Focus", {"学习", "工作"}, 733002, {}, 0},
      {3000004, "午休轻音乐", {"午休", "学习"}, 120480, {}, 0},
      {3000005, "KTV 必点金曲", {"KTV", "流行", "华语"}, 1520330, {}, 0},
      {3000006, "80后的青春回忆", {"80后", "70后", "怀旧", "经典"}, 288800, {}, 0},
      {3000007, "校园民谣时光", {"校园", "90后", "华语"}, 96500, {}, 0},
      {3000008, "影视原声 Soundtracks", {"影视原声", "综艺"}, 51200, {}, 0},
      {3000009, "Bar Night 酒吧之夜", {"酒吧", "欧美", "00后"}, 640090, {}, 0},
      {3000010, "网络热歌榜", {"网络歌曲", "榜单", "流行"}, 2210000, {}, 0},
      {fixture::kHugePlaylistId, "全曲库 2000 首", {"榜单", "经典"}, 3300000, {}, 0},
      {fixture::kBigPlaylistId, "超大编号 Big Id", {"经典", "怀旧"}, 77777, {}, 0},
      {fixture::kShortPlaylistId, "短歌测试 Short Songs", {"综艺"}, 1024, {}, 0}};
  int p = 0;
  for (RecipePlaylist& pl : playlists) {
    pl.coverSeed = static_cast<std::uint32_t>(pl.id % 100000 + 5000);
    auto has = [&](std::uint64_t id) {
      return std::find(pl.trackIds.begin(), pl.trackIds.end(), id) != pl.trackIds.end();
    };
    if (pl.id == fixture::kHugePlaylistId) {
      for (const RecipeSong& s : songs)
        if (s.audioOf) pl.trackIds.push_back(s.id);
    } else if (pl.id == fixture::kShortPlaylistId) {
      for (std::uint64_t i = 0; i < 3; ++i) pl.trackIds.push_back(fixture::kFirstShortSongId + i);
    } else {
      for (int k = 0; k < 8 + p % 5; ++k) {
        std::uint64_t id = songs[static_cast<std::size_t>((p * 7 + k * 3) % kRegularSongs)].id;
        if (!has(id)) pl.trackIds.push_back(id);
      }
      if (pl.id == fixture::kBigPlaylistId && !has(fixture::kBigSongId))
        pl.trackIds.insert(pl.trackIds.begin(), fixture::kBigSongId);
    }
    ++p;
  }
  return playlists;
}

}  // namespace

CatalogueRecipe TestCatalogueRecipe() {
  CatalogueRecipe recipe;
  recipe.title = "test catalogue";
  // The stamp of the folders made while this was the demo: they hold exactly these files.
  recipe.stamp = "lumora-demo 1\n";
  recipe.albums = Albums();
  recipe.songs = Songs();
  recipe.playlists = Playlists(recipe.songs);
  return recipe;
}

}  // namespace lumora::server

#include "generated/DemoCatalogue.h"

#include <array>
#include <iterator>

namespace lumora::server {

namespace {

constexpr std::uint64_t kFirstSongId = 1000001;
constexpr std::uint64_t kFirstChartSongId = 5000001;
constexpr int kChartTracks = 2000;
// The test catalogue's id for its 2 000 tracks too, so the playlist benchmark runs on either.
constexpr std::uint64_t kChartPlaylistId = 3000011;

// One album by one artist; an EP leaves the last song empty.
struct AlbumDef {
  std::uint64_t id;
  std::uint64_t artistId;
  const char* artist;
  const char* name;
  const char* type;
  const char* genre;
  bool english;
  bool minor;
  int bpm;
  std::array<const char*, 4> songs;
};

// clang-format off
constexpr AlbumDef kAlbums[] = {
    {201, 101, "周以宁", "纸飞机", "专辑", "华语", false, false, 92,
     {"纸飞机", "第七个夏天", "把月光寄给你", "一个人的车站"}},
    {202, 102, "陈屿", "山海之间", "专辑", "校园", false, false, 76,
     {"山海之间", "老街的猫", "给十八岁的信", "绿皮火车"}},
    {203, 103, "白鹭乐队", "旧城往事", "专辑", "怀旧", false, true, 118,
     {"旧城往事", "霓虹褪色", "天台上的风", "再见少年"}},
    {204, 104, "Juniper Vale", "Northern Windows", "专辑", "欧美", true, false, 84,
     {"Northern Windows", "Paper Boats", "Quiet Engines", "Lantern Street"}},
    {205, 105, "苏晚晴", "晚风信笺", "EP", "浪漫", false, true, 70,
     {"晚风信笺", "雨落长亭", "半杯温茶", nullptr}},
    {206, 106, "Maren Holt", "Velvet Hours", "专辑", "酒吧", true, true, 88,
     {"Velvet Hours", "Smoke and Honey", "Last Call in Lisbon", "Blue Neon Waltz"}},
    {207, 107, "南风电台", "夏日漫游", "专辑", "流行", false, false, 124,
     {"夏日漫游", "汽水与单车", "海岸线", "晴天预报"}},
    {208, 108, "Echo Harbour", "Low Tide Radio", "EP", "学习", true, true, 100,
     {"Low Tide Radio", "Saltwater Static", "Harbour at Dawn", nullptr}},
};
// clang-format on

// Second voices: song name to the artist singing with the album's own.
const std::pair<const char*, Artist> kDuets[] = {{"把月光寄给你", {102, "陈屿"}},
                                                 {"海岸线", {105, "苏晚晴"}},
                                                 {"Lantern Street", {108, "Echo Harbour"}}};
const char* const kInstrumentals[] = {"Quiet Engines", "Harbour at Dawn"};
const char* const kMembersOnly = "Last Call in Lisbon";

const char* const kChineseLines[] = {
    "晚风吹过空荡的站台",   "你说的话还留在耳边",   "把心事折成一只纸飞机", "飞过那年夏天的操场",
    "路灯一盏一盏地亮起来", "我在人群里找你的背影", "月光洒满回家的小路",   "时间走得比想象中快",
    "窗外的雨下了一整夜",   "旧照片里我们都在笑",   "如果明天还能再见面",   "就让歌声替我说晚安",
    "海浪一遍遍拍打着礁石", "我把名字写在沙滩上",   "远方的列车鸣着汽笛",   "带走了不肯说出口的话",
    "城市的霓虹渐渐褪色",   "天台上的风有点凉",     "我们约好不说再见",     "就这样慢慢走到天亮",
    "绿皮火车穿过山和海",   "老街的猫在屋檐下睡着", "温一杯茶等你回来",     "所有的故事都有结尾"};
const char* const kEnglishLines[] = {"Paper boats upon the river",
                                     "Carry every word I never said",
                                     "Northern windows full of morning",
                                     "I can hear the kettle singing",
                                     "We were young and we were restless",
                                     "Driving through the summer rain",
                                     "Every streetlight hums your name",
                                     "Hold me till the engines quiet",
                                     "Smoke and honey on the stereo",
                                     "Dancing slow in Lisbon light",
                                     "Low tide radio is playing",
                                     "Static songs from far away",
                                     "Saltwater on my collar",
                                     "Harbour lights are turning blue",
                                     "Tell me that you'll stay a while",
                                     "Till the last call fades to grey",
                                     "Lantern street is shining golden",
                                     "Every window keeps a secret",
                                     "Count the hours by the candle",
                                     "Velvet hours pass too soon",
                                     "Sing it softly, sing it low",
                                     "Every road leads back to you",
                                     "Morning comes on silver wings",
                                     "Let the old songs lead us home"};
constexpr std::size_t kLinesPerLanguage = std::size(kChineseLines);
static_assert(std::size(kEnglishLines) == kLinesPerLanguage);

// The chart's titles and singers: every pairing of a first and a second word, in each language.
const char* const kChineseFirst[] = {
    "夏夜", "晚风", "星河", "旧梦", "海岛",   "北方",   "南方", "山城", "雨季", "春日",
    "秋天", "初雪", "黄昏", "清晨", "月光",   "远方",   "少年", "故乡", "长街", "灯塔",
    "候鸟", "樱花", "云朵", "林间", "河畔",   "天台",   "列车", "港口", "沙漠", "草原",
    "小镇", "深海", "烟火", "风铃", "蒲公英", "向日葵", "梧桐", "白鸽", "银河", "晴空"};
const char* const kChineseSecond[] = {
    "的信", "之歌",   "来信", "漫步",   "的约定", "往事", "日记", "晚安",   "序曲",
    "旅人", "回声",   "情书", "慢车",   "的秘密", "告白", "物语", "回忆录", "独白",
    "的梦", "小夜曲", "散步", "说再见", "笔记",   "童谣", "远行"};
const char* const kEnglishFirst[] = {
    "Golden",   "Silver",   "Quiet",     "Wild",    "Electric", "Paper",   "Velvet",    "Broken",
    "Hidden",   "Endless",  "Midnight",  "Neon",    "Crystal",  "Distant", "Gentle",    "Restless",
    "Faded",    "Burning",  "Frozen",    "Lonely",  "Secret",   "Summer",  "Winter",    "Autumn",
    "Northern", "Southern", "Silent",    "Little",  "Hollow",   "Painted", "Sleepless", "Shining",
    "Drifting", "Falling",  "Wandering", "Morning", "Evening",  "Crimson", "Amber",     "Sapphire"};
const char* const kEnglishSecond[] = {
    "Heart",   "River",  "Highway", "Garden",  "Letters", "Skyline", "Tides",   "Lights", "Dreams",
    "Horizon", "Echoes", "Roads",   "Stars",   "Rain",    "Fire",    "Harbour", "Window", "Radio",
    "Season",  "Waves",  "Streets", "Shadows", "Lullaby", "Parade",  "Carousel"};
constexpr std::size_t kTitlesPerLanguage = std::size(kChineseFirst) * std::size(kChineseSecond);
static_assert(std::size(kEnglishFirst) == std::size(kChineseFirst) &&
              std::size(kEnglishSecond) == std::size(kChineseSecond));
static_assert(2 * kTitlesPerLanguage >= kChartTracks);

const Artist kChineseSingers[] = {{301, "林知夏"},   {302, "顾北辰"},   {303, "宋小满"},
                                  {304, "江屿白"},   {305, "许念"},     {306, "程一舟"},
                                  {307, "夏栀"},     {308, "唐棠"},     {309, "沈默然"},
                                  {310, "乔木乐队"}, {311, "青柠电台"}, {312, "陆遥"}};
const Artist kEnglishSingers[] = {
    {321, "Marlow & Finch"}, {322, "Ivy Mercer"},   {323, "Coastal Drive"}, {324, "Willa Stone"},
    {325, "Kite Theory"},    {326, "Oliver Crane"}, {327, "Paper Moons"},   {328, "Harlow June"},
    {329, "The Driftwoods"}, {330, "Rosalie Hart"}, {331, "Northbound"},    {332, "Saint Clement"}};
static_assert(std::size(kChineseSingers) == std::size(kEnglishSingers));

template <std::size_t N>
bool Contains(const char* const (&names)[N], const std::string& name) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

std::string Lyric(const RecipeSong& song, bool english, std::size_t index) {
  const char* const* lines = english ? kEnglishLines : kChineseLines;
  return TimedLyric(song.name + " - " + song.artists[0].name, song.plan, [&](std::size_t n) {
    return std::string(lines[(index * 5 + n) % kLinesPerLanguage]);
  });
}

std::vector<RecipeSong> AlbumSongs() {
  std::vector<RecipeSong> songs;
  int i = 0;
  for (const AlbumDef& album : kAlbums) {
    for (const char* name : album.songs) {
      if (!name) continue;
      RecipeSong s;
      s.id = kFirstSongId + static_cast<std::uint64_t>(i);
      s.name = name;
      s.artists.push_back({album.artistId, album.artist});
      for (const auto& [song, guest] : kDuets)
        if (s.name == song) s.artists.push_back(guest);
      s.albumId = album.id;
      s.plan.seed = 104729u * static_cast<std::uint32_t>(i + 1);
      s.plan.rootMidi = 48 + (i * 7) % 12;
      s.plan.minor = album.minor != (i % 4 == 3);
      s.plan.bpm = album.bpm + (i * 11) % 17;
      s.plan.seconds = 24 + (i * 37) % 67;
      s.membersOnly = s.name == kMembersOnly;
      if (!Contains(kInstrumentals, s.name))
        s.lyric = Lyric(s, album.english, static_cast<std::size_t>(i));
      songs.push_back(std::move(s));
      ++i;
    }
  }
  return songs;
}

bool IsEnglishAlbum(std::uint64_t albumId) {
  for (const AlbumDef& a : kAlbums)
    if (a.id == albumId) return a.english;
  return false;
}

// The chart: Chinese and English titles in turn, each with a singer of its language and the
// sound, album and cover of an album song in the same language.
std::vector<RecipeSong> ChartSongs(const std::vector<RecipeSong>& albumSongs) {
  std::vector<const RecipeSong*> sources[2];
  for (const RecipeSong& s : albumSongs)
    if (!s.membersOnly) sources[IsEnglishAlbum(s.albumId)].push_back(&s);
  std::vector<RecipeSong> chart;
  for (int k = 0; k < kChartTracks; ++k) {
    const bool english = k % 2 == 1;
    // Walks the pairings in a scattered order; 7 is prime to their count, so none repeats.
    const std::size_t m = (static_cast<std::size_t>(k / 2) * 7 + 3) % kTitlesPerLanguage;
    const std::size_t firstCount = std::size(kChineseFirst);
    const std::size_t secondCount = std::size(kChineseSecond);
    const std::size_t first = m % firstCount;
    const std::size_t second = (m / firstCount + first) % secondCount;
    const auto& pool = sources[english];
    RecipeSong s = *pool[static_cast<std::size_t>(k / 2) * 7 % pool.size()];
    s.audioOf = s.id;
    s.id = kFirstChartSongId + static_cast<std::uint64_t>(k);
    s.name = english ? std::string(kEnglishFirst[first]) + " " + kEnglishSecond[second]
                     : std::string(kChineseFirst[first]) + kChineseSecond[second];
    const std::size_t singer = (m * 5) % std::size(kChineseSingers);
    s.artists = {english ? kEnglishSingers[singer] : kChineseSingers[singer]};
    s.inFm = false;
    if (!s.lyric.empty()) s.lyric = Lyric(s, english, static_cast<std::size_t>(k));
    chart.push_back(std::move(s));
  }
  return chart;
}

struct PlaylistDef {
  const char* name;
  std::vector<std::string> categories;
  std::int64_t playCount;
  std::vector<std::uint64_t> albums;  // drawn from in turn
  std::size_t tracks;
};

const PlaylistDef kPlaylists[] = {
    {"清晨通勤 · 元气华语", {"华语", "流行", "工作"}, 1283400, {207, 201, 202}, 10},
    {"午后咖啡馆 Café Afternoon", {"下午茶", "浪漫", "欧美"}, 486210, {204, 205, 206}, 10},
    {"深夜自习室", {"学习", "工作"}, 733002, {208, 204, 205}, 9},
    {"午睡时的轻音乐", {"午休", "学习"}, 156730, {205, 208, 202}, 8},
    {"KTV 合唱必点", {"KTV", "流行", "华语"}, 1520330, {201, 203, 207}, 12},
    {"写给 80 后的青春", {"80后", "70后", "怀旧", "经典"}, 288800, {203, 202, 205}, 10},
    {"校园民谣 · 那些年", {"校园", "90后", "华语"}, 96500, {202, 201, 207}, 9},
    {"电影里的旋律", {"影视原声", "综艺", "浪漫"}, 51200, {204, 205, 206, 208}, 8},
    {"Late Night Bar 微醺时刻", {"酒吧", "欧美", "00后"}, 640090, {206, 208, 204}, 10},
    {"本周网络热歌", {"网络歌曲", "榜单", "流行"}, 2210000, {207, 201, 203, 206}, 12},
    {"雨天窗边", {"浪漫", "怀旧", "午休"}, 358900, {205, 203, 204}, 9},
    {"周末公路旅行 Road Trip", {"欧美", "00后", "流行"}, 512000, {204, 207, 206, 208}, 11},
    {"独立音乐人推荐", {"华语", "90后", "网络歌曲"}, 205400, {202, 208, 205}, 8},
};

// The songs of the def's albums in turn (the first song of each, then the second...).
std::vector<std::uint64_t> PlaylistTracks(const PlaylistDef& def,
                                          const std::vector<RecipeSong>& songs) {
  std::vector<std::vector<std::uint64_t>> byAlbum(def.albums.size());
  for (const RecipeSong& s : songs)
    for (std::size_t a = 0; a < def.albums.size(); ++a)
      if (s.albumId == def.albums[a]) byAlbum[a].push_back(s.id);
  std::vector<std::uint64_t> tracks;
  for (std::size_t round = 0; tracks.size() < def.tracks; ++round) {
    bool any = false;
    for (const auto& album : byAlbum) {
      if (round >= album.size() || tracks.size() == def.tracks) continue;
      tracks.push_back(album[round]);
      any = true;
    }
    if (!any) break;
  }
  return tracks;
}

}  // namespace

CatalogueRecipe DemoCatalogueRecipe() {
  CatalogueRecipe recipe;
  recipe.title = "demo catalogue";
  recipe.stamp = "lumora-demo 2\n";
  for (const AlbumDef& a : kAlbums)
    recipe.albums.push_back(
        {a.id, a.name, a.type, a.genre, 7000u + 37u * static_cast<std::uint32_t>(a.id)});
  recipe.songs = AlbumSongs();
  std::uint64_t id = 3000001;
  for (const PlaylistDef& def : kPlaylists) {
    recipe.playlists.push_back({id, def.name, def.categories, def.playCount,
                                PlaylistTracks(def, recipe.songs),
                                static_cast<std::uint32_t>(id % 1000) * 131u + 9000u});
    if (++id == kChartPlaylistId) ++id;
  }
  std::vector<RecipeSong> chart = ChartSongs(recipe.songs);
  RecipePlaylist top{kChartPlaylistId, "年度热歌 2000 首", {"榜单", "经典"}, 3300000, {}, 9999u};
  for (RecipeSong& s : chart) {
    top.trackIds.push_back(s.id);
    recipe.songs.push_back(std::move(s));
  }
  recipe.playlists.push_back(std::move(top));
  return recipe;
}

}  // namespace lumora::server

#include "net/ApiClient.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "net/UrlEncode.h"

namespace lumora {

namespace {

// Built by appending: g++ 12 at -O2 warns falsely (-Wrestrict) on literal + temporary string.
std::string Indexed(const char* head, std::size_t i, const char* tail) {
  std::string path(head);
  path += std::to_string(i);
  path += tail;
  return path;
}

}  // namespace

std::string MakeTimestamp(std::chrono::system_clock::time_point now) {
  // Counted from the Unix epoch itself, not from a local wall-clock time, so the value is the
  // same in every time zone.
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  std::string text = std::to_string(ms.count());
  while (text.size() < 13) text += '0';
  return text;
}

std::string MakeTimestamp() { return MakeTimestamp(std::chrono::system_clock::now()); }

ApiClient::ApiClient(JsonDocument& apiJson, const Session& session, std::string baseAddress,
                     BlockingRunner& runner, int timeout)
    : apiJson_(apiJson),
      session_(session),
      baseAddress_(std::move(baseAddress)),
      runner_(runner),
      timeout_(timeout) {}

bool ApiClient::Fetch(const std::string& pathAndQuery, int method) {
  HttpClient::Outputs outputs;
  const Bytes answer =
      HttpClient::Request(baseAddress_ + pathAndQuery,
                          {.method = method, .timeout = timeout_, .runner = &runner_}, &outputs);
  const bool parsed = apiJson_.Parse(BodyText(answer));
  // A server error or an answer that does not read tells no more than silence: never "nothing
  // there", so callers say the server is away and try again.
  if (outputs.status == HttpClient::kMisdirectedRequest)
    lastReply_ = ApiReply::Refused;
  else if (outputs.status == 0 || outputs.status >= 500 || !parsed)
    lastReply_ = ApiReply::Unreachable;
  else
    lastReply_ = Code() == "301" ? ApiReply::NeedsLogin : ApiReply::Answered;
  return parsed;
}

std::optional<SongGain> SongGainOf(const JsonDocument& json, const std::string& item) {
  // Only numbers a loudness can be: anything else is no figure, and the song plays as it is.
  auto figure = [&](const char* name, double least, double most) -> std::optional<double> {
    const std::string path = item + "." + name;
    if (json.TypeOf(path) != JsonDocument::kNumber) return std::nullopt;
    const double value = json.GetNumber(path);
    return value >= least && value <= most ? std::optional<double>(value) : std::nullopt;
  };
  const std::optional<double> gainDb = figure("gain", -64, 64);
  if (!gainDb) return std::nullopt;
  return SongGain{*gainDb, figure("peak", 1e-6, 64)};
}

std::string ApiClient::Code() const { return apiJson_.GetSubDocument("code").ToText(); }

std::string ApiClient::CookieParameter() const {
  if (session_.cookie.empty()) return {};
  return "cookie=" + UrlEncode(session_.cookie, kEncodeURIComponent) + "&";
}

std::string ApiClient::LikeSong(const std::string& songId) {
  if (session_.cookie.empty()) return {};
  // The cookie is encoded here too: raw, its ";", "=" and spaces would split the query.
  if (!Fetch("/like?id=" + songId + "&cookie=" + UrlEncode(session_.cookie, kEncodeURIComponent) +
                 "&timestamp=" + MakeTimestamp(),
             HttpClient::kPost))
    return {};
  const std::string code = Code();
  if (code == "200") return kLikeSucceeded;
  if (code == "460") return kLikeFailed;
  return {};
}

std::string ApiClient::GetSongUrl(const std::string& songId, const std::string& bitRate,
                                  std::optional<SongGain>* gain) {
  if (gain) gain->reset();
  if (!Fetch("/song/url?" + CookieParameter() + "id=" + songId + "&br=" + bitRate +
             "&timestamp=" + MakeTimestamp()))
    return {};
  if (gain) *gain = SongGainOf(apiJson_, "data[0]");
  return apiJson_.GetText("data[0].url");
}

std::string ApiClient::GetLyric(const std::string& songId) {
  // Cut out as text, not parsed: the caller wants the LRC with its escapes as they arrived.
  const std::string text = BodyText(HttpClient::Request(baseAddress_ + "/lyric?id=" + songId,
                                                        {.timeout = timeout_, .runner = &runner_}));
  return TextBetween(text, ",\"lyric\":\"", "\"},\"klyric\":");
}

Bytes ApiClient::GetCoverImage(const std::string& songId) {
  std::string pictureUrl;
  if (Fetch("/song/detail?ids=" + songId)) pictureUrl = apiJson_.GetText("songs[0].al.picUrl");
  if (pictureUrl.empty()) return {};
  return HttpClient::Request(pictureUrl, {.timeout = timeout_, .runner = &runner_});
}

std::vector<Song> ApiClient::FetchPersonalFm() {
  std::vector<Song> batch;
  if (!Fetch("/personal_fm?" + CookieParameter() + "timestamp=" + MakeTimestamp())) return batch;
  const std::size_t n = static_cast<std::size_t>(apiJson_.Count("data"));
  for (std::size_t i = 0; i < n; ++i) {
    std::string names;
    const std::string artistsPath = Indexed("data[", i, "].artists");
    const std::size_t artistCount = static_cast<std::size_t>(apiJson_.Count(artistsPath));
    for (std::size_t j = 0; j < artistCount; ++j)
      names += apiJson_.GetText(artistsPath + Indexed("[", j, "].name")) + ",";
    batch.push_back({.id = apiJson_.GetSubDocument(Indexed("data[", i, "].id")).ToText(),
                     .name = apiJson_.GetText(Indexed("data[", i, "].name")),
                     .artists = TextBefore(names, ","),
                     .album = apiJson_.GetText(Indexed("data[", i, "].album.type"))});
  }
  return batch;
}

void ApiClient::LoadPlaylist(const std::string& playlistId, PlaylistLoadResult& result,
                             PlaylistLoadListener& listener) {
  if (!Fetch("/playlist/detail?id=" + playlistId)) return;
  if (Code() != "200") {
    if (Code() == "404") {
      result.code = "404";
      listener.playlistNotFound();
    }
    return;
  }
  result.coverUrl = apiJson_.GetText("playlist.coverImgUrl");
  result.name = apiJson_.GetText("playlist.name");
  const std::size_t trackCount = static_cast<std::size_t>(apiJson_.Count("playlist.trackIds"));
  std::vector<std::string> trackIds;
  trackIds.reserve(trackCount);
  for (std::size_t i = 0; i < trackCount; ++i)
    trackIds.push_back(apiJson_.GetSubDocument(Indexed("playlist.trackIds[", i, "].id")).ToText());

  listener.playlistFound(result.name, UrlFetch(result.coverUrl, runner_));

  std::size_t loaded = 0;
  // One request even for no tracks: the server answers an empty id list with no songs.
  std::size_t first = 0;
  do {
    const std::size_t end = std::min(trackIds.size(), first + kSongDetailBatch);
    std::string ids;
    for (std::size_t i = first; i < end; ++i) ids += (i == first ? "" : ",") + trackIds[i];
    first = end;
    // A batch that does not parse ends the load: the ones after it would most likely fail the
    // same way, each after its own time-out.
    if (!Fetch("/song/detail?ids=" + ids)) break;

    // Read the whole batch before telling the listener: a window handler that runs in between
    // may parse another answer into apiJson.
    const std::size_t songCount = static_cast<std::size_t>(apiJson_.Count("songs"));
    std::vector<Song> songs;
    songs.reserve(songCount);
    for (std::size_t i = 0; i < songCount; ++i) {
      const std::string song = Indexed("songs[", i, "]");
      std::string names;
      const std::size_t artistCount = static_cast<std::size_t>(apiJson_.Count(song + ".ar"));
      for (std::size_t j = 0; j < artistCount; ++j)
        names += apiJson_.GetText(song + Indexed(".ar[", j, "].name")) + ",";
      if (!names.empty()) names.pop_back();
      songs.push_back({.id = apiJson_.GetSubDocument(song + ".id").ToText(),
                       .name = apiJson_.GetText(song + ".name"),
                       .artists = std::move(names),
                       .album = apiJson_.GetText(song + ".al.name")});
    }
    for (const Song& song : songs) listener.songLoaded(song, ++loaded, trackIds.size());
  } while (first < trackIds.size());
  result.code = "200";
}

}  // namespace lumora

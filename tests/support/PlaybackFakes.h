#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/Runners.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackEvents.h"
#include "playback/PlaybackInterfaces.h"

namespace lumora::test {

// One log shared by the fakes, so tests can check the order across audio and service calls.
using EventLog = std::vector<std::string>;

// Runs while an answer is awaited ("url", "open", "lyric", "detail", "cover", each with the song's
// id): stands for the pumped wait inside the real call, in which clicks get through.
using HeldAnswer = std::function<void(const std::string& answer, const std::string& songId)>;

// Streams by URL; an empty or unplayable URL opens nothing. 1000 bytes make one second.
class FakeAudio : public AudioOutput {
 public:
  explicit FakeAudio(EventLog& log) : log_(log) {}

  struct Stream {
    int active = 0;  // a ChannelState
    std::int64_t position = 0;
    std::int64_t length = 200000;
    // The song offered to follow; taken (handed over) once the stream runs out of data.
    std::string next;
    bool handed = false;
    bool nextStarted = false;
  };

  std::unique_ptr<OpenedStream> openStream(const std::string& url, const std::optional<SongGain>&,
                                           const StopFlag& stop) override {
    lastStop = &stop;
    log_.push_back("create " + url);
    if (held) held("open", url.substr(url.rfind('/') + 1));
    if (url.empty() || unplayable.count(url)) return nullptr;
    return std::make_unique<OpenedStream>();
  }
  std::uint32_t adopt(std::unique_ptr<OpenedStream> opened) override {
    if (!opened) return 0;
    streams[++lastHandle] = Stream{};
    return lastHandle;
  }
  bool play(std::uint32_t h, bool restart) override {
    log_.push_back("play " + std::to_string(h) + (restart ? " restart" : ""));
    return set(h, 1);
  }
  bool pause(std::uint32_t h) override {
    log_.push_back("pause " + std::to_string(h));
    return set(h, 3);
  }
  bool stop(std::uint32_t h) override {
    log_.push_back("stop " + std::to_string(h));
    return set(h, 0);
  }
  ChannelState isActive(std::uint32_t h) override {
    return ChannelState(streams.count(h) ? streams[h].active : 0);
  }
  std::int64_t getPosition(std::uint32_t h) override {
    return streams.count(h) ? streams[h].position : -1;
  }
  std::int64_t getLength(std::uint32_t h) override {
    return streams.count(h) ? streams[h].length : -1;
  }
  double bytesToSeconds(std::uint32_t h, std::int64_t bytes) override {
    return streams.count(h) ? static_cast<double>(bytes) / 1000.0 : -1;
  }
  bool freeStream(std::uint32_t h) override {
    log_.push_back("free " + std::to_string(h));
    return streams.erase(h) > 0;
  }
  bool offerNext(std::uint32_t h, const std::string& url,
                 const std::optional<SongGain>&) override {
    if (!streams.count(h) || streams[h].active == 0) return false;
    log_.push_back("offer " + std::to_string(h) + " " + url);
    streams[h].next = url;
    return true;
  }
  bool withdrawNext(std::uint32_t h) override {
    if (!streams.count(h)) return true;
    streams[h].next.clear();
    return !streams[h].handed;
  }
  bool takeNextStarted(std::uint32_t h) override {
    return streams.count(h) && std::exchange(streams[h].nextStarted, false);
  }

  // The stream has read all of its song: it takes the song offered, or runs out.
  void runOut(std::uint32_t h) {
    if (!streams.count(h)) return;
    Stream& s = streams[h];
    s.handed = !s.next.empty();
    if (s.handed) log_.push_back("took " + s.next);
    s.next.clear();
    if (!s.handed) s.active = 0;
  }
  // The song it took is heard now.
  void nextHeard(std::uint32_t h) {
    if (!streams.count(h)) return;
    Stream& s = streams[h];
    s.handed = false;
    s.nextStarted = true;
    s.position = 0;
  }

  std::map<std::uint32_t, Stream> streams;
  std::set<std::string> unplayable;
  std::uint32_t lastHandle = 0;
  HeldAnswer held;
  // The stop flag of the last stream open.
  const StopFlag* lastStop = nullptr;

 private:
  bool set(std::uint32_t h, int active) {
    if (!streams.count(h)) return false;
    streams[h].active = active;
    return true;
  }
  EventLog& log_;
};

struct FakePlaylist {
  std::string code = "200";
  std::vector<Song> songs;
};

class FakeService : public MusicService {
 public:
  explicit FakeService(EventLog& log) : log_(log) {}

  std::unique_ptr<SongRequests> songRequests() override {
    return std::make_unique<Requests>(*this);
  }
  std::string GetSongUrl(const std::string& id, const std::string& br) {
    log_.push_back("url " + id + " " + br);
    if (held) held("url", id);
    if (urls.count(id)) return urls[id];
    return noUrl.count(id) ? "" : "http://audio/" + id;
  }
  std::string GetLyric(const std::string& id) {
    log_.push_back("lyric " + id);
    if (held) held("lyric", id);
    return lyrics.count(id) ? lyrics[id] : "[00:01.00]line of " + id + "\\n";
  }
  virtual std::string GetCoverImage(const std::string& id) {
    log_.push_back("cover " + id);
    if (held) held("detail", id);
    if (held) held("cover", id);
    return "cover-" + id;
  }
  void FetchPersonalFm(PlayQueue& queue) override {
    log_.push_back("fm");
    if (fmBatches.empty() || reply != ServiceReply::Answered) return;
    for (const Song& s : fmBatches.front()) queue.append(s);
    fmBatches.pop_front();
  }
  void LoadPlaylist(const std::string& id, PlayQueue& queue, PlaylistLoadState& st,
                    PlaylistLoadProgress& progress) override {
    log_.push_back("load " + id);
    queue.clear();
    if (duringLoad) duringLoad();  // stands for the pumped wait inside the real load
    auto it = playlists.find(id);
    if (it == playlists.end() || reply != ServiceReply::Answered) return;
    st.playlistLoadCode = it->second.code;
    if (it->second.code == "404") progress.playlistNotFound();
    if (it->second.code != "200") return;
    st.playlistName = "list " + id;
    if (reportLoad) progress.playlistFound(st.playlistName, "cover-" + id);
    for (const Song& s : it->second.songs) {
      queue.append(s);
      if (reportLoad) progress.songsLoaded(queue.size(), it->second.songs.size());
    }
  }
  std::string LikeSong(const std::string& id) {
    log_.push_back("like " + id);
    return likeResult;
  }
  ServiceReply LastReply() const override { return reply; }

  std::deque<std::vector<Song>> fmBatches;
  std::map<std::string, FakePlaylist> playlists;
  std::map<std::string, std::string> lyrics;
  std::set<std::string> noUrl;
  std::map<std::string, std::string> urls;
  std::function<void()> duringLoad;
  HeldAnswer held;
  // Whether a load reports the playlist and each song, as the real client does.
  bool reportLoad = false;
  std::string likeResult;
  ServiceReply reply = ServiceReply::Answered;
  // The stop flag of the last request of an opening or a like.
  const StopFlag* lastStop = nullptr;

 private:
  // What an opening or a like asks, in the service's own log.
  class Requests : public SongRequests {
   public:
    explicit Requests(FakeService& service) : service_(service) {}
    std::string GetSongUrl(const std::string& id, const std::string& br,
                           const StopFlag& stop) override {
      service_.lastStop = &stop;
      return service_.GetSongUrl(id, br);
    }
    std::string GetLyric(const std::string& id, const StopFlag& stop) override {
      service_.lastStop = &stop;
      return service_.GetLyric(id);
    }
    std::string GetCoverImage(const std::string& id, const StopFlag& stop) override {
      service_.lastStop = &stop;
      return service_.GetCoverImage(id);
    }
    std::string LikeSong(const std::string& id, const StopFlag& stop) override {
      service_.lastStop = &stop;
      return service_.LikeSong(id);
    }
    ServiceReply LastReply() const override { return service_.reply; }

   private:
    FakeService& service_;
  };

  EventLog& log_;
};

// Runs each job's work at once, and its `done` once the outermost job started has finished its
// work, as the window's event loop would deliver it: a job started inside another's work (a
// press while an answer is awaited) is done only after it. With `holdDone`, nothing is done
// until finish().
class FakeBackground : public BackgroundRunner {
 public:
  void start(Job job, BlockingWork work, std::function<void()> done) override {
    if (stopped) return;
    ++depth_;
    work(*job.flag());
    --depth_;
    if (stopped) return;
    pending_.push_back(std::move(done));
    if (depth_ == 0 && !holdDone) finish();
  }
  void stopAll() override {
    stopped = true;
    pending_.clear();
  }
  // Delivers every `done` waiting, and those they lead to.
  void finish() {
    if (draining_) return;
    draining_ = true;
    while (!pending_.empty()) {
      std::function<void()> done = std::move(pending_.front());
      pending_.pop_front();
      done();
    }
    draining_ = false;
  }

  bool holdDone = false;
  bool stopped = false;

 private:
  int depth_ = 0;
  bool draining_ = false;
  std::deque<std::function<void()>> pending_;
};

// A ticker driven by hand: what it was last started with, 0 once stopped.
class FakeTicker : public Ticker {
 public:
  void start(int ms) override {
    interval = ms;
    starts.push_back(ms);
  }
  void stop() override { interval = 0; }
  int interval = 0;
  std::vector<int> starts;
};

// Records every event in the order playback announces it, one line each.
class RecordingObserver : public PlaybackObserver {
 public:
  void stateChanged(PlayState s) override {
    events.push_back(s == PlayState::Playing  ? "playing"
                     : s == PlayState::Paused ? "paused"
                                              : "stopped");
  }
  void songStarted(const SongStart& s) override {
    events.push_back((s.fromHistory ? "back to " : "start ") + s.song.id);
  }
  void coverChanged(const std::string& bytes) override { events.push_back("cover " + bytes); }
  void titleChanged(const std::string& t) override { events.push_back("title " + t); }
  void positionChanged(const PlaybackPosition& at) override {
    events.push_back("at " + at.elapsed + "/" + at.total + (at.reachedEnd ? " end" : ""));
  }
  void lyricLineChanged(const std::string& line) override { events.push_back("lyric " + line); }
  void playlistChosen() override { events.push_back("playlist chosen"); }
  void playlistLoadStarted() override { events.push_back("loading"); }
  void playlistNotFound() override { events.push_back("not found"); }
  void playlistFound(const std::string& name, const std::string&) override {
    events.push_back("found " + name);
  }
  void playlistLoadProgress(std::size_t loaded, std::size_t total) override {
    events.push_back("loaded " + std::to_string(loaded) + " of " + std::to_string(total));
  }
  void playlistLoaded(std::size_t n) override { events.push_back("queued " + std::to_string(n)); }
  void fmBatchFetched(std::size_t n) override { events.push_back("fm " + std::to_string(n)); }
  void likeBoxShown(bool shown) override { events.push_back(shown ? "like box" : "like box gone"); }
  void likeResult(const std::string& t) override { events.push_back("like " + t); }
  void failed(const PlaybackFailure& f) override {
    events.push_back(f.kind == PlaybackFailure::Kind::SongUnavailable
                         ? "unavailable " + f.song.id
                         : "load failed " + f.code + " " + f.title);
  }

  std::vector<std::string> events;
};

// The desktop lyrics as a recording: each line with its highlight.
class RecordingLyrics : public PlaybackObserver {
 public:
  explicit RecordingLyrics(std::vector<std::pair<std::string, int>>& lines) : lines_(lines) {}
  void lyricLineChanged(const std::string& line) override { lines_.emplace_back(line, 0); }

 private:
  std::vector<std::pair<std::string, int>>& lines_;
};

// Hands out scripted values (0 once they run out) and records the seeds.
class ScriptedRandom : public RandomSource {
 public:
  void seed(std::uint32_t v) override { seeds.push_back(v); }
  std::int32_t next() override {
    if (values.empty()) return 0;
    std::int32_t v = values.front();
    values.pop_front();
    return v;
  }
  std::deque<std::int32_t> values;
  std::vector<std::uint32_t> seeds;
};

inline Song MakeSong(const std::string& id) {
  return Song{id, "name" + id, "artist" + id, "album" + id};
}

}  // namespace lumora::test

#include "playback/SongOpening.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace lumora {

namespace {

// What the worker fills in, and owns until the window's thread takes it.
struct Answers {
  std::unique_ptr<SongRequests> requests;
  OpenedSong song;
  std::unique_ptr<OpenedStream> stream;
};

}  // namespace

void SongOpening::begin(const std::string& songId, bool withStream,
                        std::optional<NowPlaying> known, Done done) {
  cancel();
  const Latest::Ticket ticket = latest_.renew();
  busy_ = true;
  auto answers = std::make_shared<Answers>();
  answers->requests = service_.songRequests();
  AudioOutput& audio = audio_;
  const bool asked = known.has_value();
  if (known) answers->song.record = std::move(*known);
  auto work = [answers, songId, withStream, asked, &audio](const StopFlag& stop) {
    NowPlaying& record = answers->song.record;
    SongRequests& requests = *answers->requests;
    if (!asked) {
      record.currentUrl = requests.GetSongUrl(songId, kBitRate, stop);
      if (requests.LastReply() == ServiceReply::Unreachable) {
        answers->song.answered = false;
        return;
      }
    }
    if (!stop && withStream && !record.currentUrl.empty())
      answers->stream = audio.openStream(record.currentUrl, stop);
    if (!stop && !asked) record.lyricText = requests.GetLyric(songId, stop);
    if (!stop && !asked) record.cover = requests.GetCoverImage(songId, stop);
    // A cancelled opening lets its stream go here, away from the window's thread.
    if (stop) answers->stream.reset();
  };
  auto finish = [this, answers, ticket, done = std::move(done)] {
    // A stream opened just before the opening was cancelled goes the way of every stream.
    const std::uint32_t stream = audio_.adopt(std::move(answers->stream));
    if (!latest_.isLatest(ticket)) {
      if (stream != 0) audio_.freeStream(stream);
      return;
    }
    busy_ = false;
    answers->song.record.currentStream = stream;
    done(std::move(answers->song));
  };
  job_ = BackgroundRunner::Job();
  runner_.start(job_, std::move(work), std::move(finish));
}

void SongOpening::cancel() {
  if (!busy_) return;
  busy_ = false;
  latest_.renew();
  job_.cancel();
}

}  // namespace lumora

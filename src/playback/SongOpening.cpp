#include "playback/SongOpening.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace lumora {

namespace {

// What the workers fill in, and own until the window's thread takes it.
struct Answers {
  std::string songId;
  bool asked = false;  // the address, lyric and cover were known before
  std::unique_ptr<SongRequests> requests;
  OpenedSong song;
  std::unique_ptr<OpenedStream> stream;
};

}  // namespace

// Two jobs: the address and the stream, then the lyric and the cover. Between them the stream is
// handed over, so that the song can sound while its lyric and cover are asked for.
void SongOpening::begin(const std::string& songId, bool withStream, std::optional<NowPlaying> known,
                        Sounding sounding, Done done) {
  cancel();
  const Latest::Ticket ticket = latest_.renew();
  busy_ = true;
  auto answers = std::make_shared<Answers>();
  answers->songId = songId;
  answers->requests = service_.songRequests();
  answers->asked = known.has_value();
  if (known) answers->song.record = std::move(*known);
  AudioOutput& audio = audio_;
  auto address = [answers, withStream, &audio](const StopFlag& stop) {
    NowPlaying& record = answers->song.record;
    if (!answers->asked) {
      record.currentUrl = answers->requests->GetSongUrl(answers->songId, kBitRate, stop);
      record.gain = answers->requests->LastSongGain();
      if (answers->requests->LastReply() == ServiceReply::Unreachable) {
        answers->song.answered = false;
        return;
      }
    }
    if (!stop && withStream && !record.currentUrl.empty())
      answers->stream = audio.openStream(record.currentUrl, record.gain, stop);
    // A cancelled opening lets its stream go here, away from the window's thread.
    if (stop) answers->stream.reset();
  };
  auto streamed = [this, answers, ticket, sounding = std::move(sounding),
                   done = std::move(done)]() mutable {
    // A stream opened just before the opening was cancelled goes the way of every stream.
    const std::uint32_t opened = audio_.adopt(std::move(answers->stream));
    if (!latest_.isLatest(ticket)) {
      if (opened != 0) audio_.freeStream(opened);
      return;
    }
    stream_ = opened;
    if (!answers->song.answered || answers->asked) {
      finish(answers->song, sounding, done);
      return;
    }
    if (stream_ != 0 && sounding) sounding(stream_);
    auto details = [answers](const StopFlag& stop) {
      NowPlaying& record = answers->song.record;
      record.lyricText = answers->requests->GetLyric(answers->songId, stop);
      if (!stop) record.cover = answers->requests->GetCoverImage(answers->songId, stop);
    };
    job_ = BackgroundRunner::Job();
    runner_.start(job_, std::move(details), [this, answers, ticket, done = std::move(done)] {
      if (latest_.isLatest(ticket)) finish(answers->song, nullptr, done);
    });
  };
  job_ = BackgroundRunner::Job();
  runner_.start(job_, std::move(address), std::move(streamed));
}

void SongOpening::finish(OpenedSong& song, const Sounding& sounding, const Done& done) {
  busy_ = false;
  const std::uint32_t stream = std::exchange(stream_, 0);
  if (stream != 0 && sounding) sounding(stream);
  song.record.currentStream = stream;
  done(std::move(song));
}

void SongOpening::cancel() {
  if (!busy_) return;
  busy_ = false;
  latest_.renew();
  job_.cancel();
  if (stream_ != 0) audio_.freeStream(std::exchange(stream_, 0));
}

}  // namespace lumora

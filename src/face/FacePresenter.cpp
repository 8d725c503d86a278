#include "face/FacePresenter.h"

#include <algorithm>

#include "playback/PlaybackState.h"

namespace lumora {

int ProgressWidth(std::int64_t position, std::int64_t length) {
  if (length < kFaceWidth || position <= 0) return 0;
  const double scaled = static_cast<double>(position) / (static_cast<double>(length) / kFaceWidth);
  return static_cast<int>(std::min<double>(scaled, kFaceWidth));
}

void FacePresenter::stateChanged(PlayState state) {
  state_ = state;
  // A stopped stream keeps the last buttons: the next song follows within a second.
  if (state != PlayState::Stopped) showButtons(state);
}

void FacePresenter::showButtons(PlayState state) {
  const bool playing = state == PlayState::Playing;
  view_.setPlayButtonVisible(!playing);
  view_.setPauseButtonVisible(playing);
}

void FacePresenter::songStarted(const SongStart& start) {
  noticeShown_ = false;
  view_.setSongNameCaption(start.fromHistory ? start.song.name + " - " + start.song.artists
                                             : start.song.name);
  // The last song's lyric line goes with its stream.
  view_.setArtistCaption(start.song.artists);
}

void FacePresenter::coverChanged(const std::string& bytes) { view_.setCoverPicture(bytes); }

void FacePresenter::titleChanged(const std::string& title) { view_.setWindowTitle(title); }

void FacePresenter::positionChanged(const PlaybackPosition& at) {
  view_.setProgressWidth(ProgressWidth(at.position, at.length));
  view_.setPlayTimes(at.elapsed, at.total);
}

void FacePresenter::lyricLineChanged(const std::string& line) {
  if (!noticeShown_) view_.setArtistCaption(line);
}

void FacePresenter::playlistChosen() {
  view_.hidePlaylistSquare();
  view_.setFmButtonSelected(false);
}

void FacePresenter::playlistLoadStarted() {
  noticeShown_ = false;
  view_.setArtistCaption("歌单加载中...");
}

void FacePresenter::playlistNotFound() { view_.showMessage(kPlaylistNotFound); }

void FacePresenter::playlistFound(const std::string& name, const std::string& coverBytes) {
  view_.setCoverPicture(coverBytes);
  view_.setSongNameCaption(name);
}

void FacePresenter::playlistLoadProgress(std::size_t loaded, std::size_t total) {
  std::string progress = "共";
  progress += std::to_string(total);
  progress += "首/已加载：";
  progress += std::to_string(loaded);
  progress += "首";
  view_.setArtistCaption(progress);
}

void FacePresenter::playlistLoaded(std::size_t songCount) {
  view_.setArtistCaption(std::to_string(songCount) + "首歌曲加载完毕");
}

void FacePresenter::fmBatchFetched(std::size_t) { view_.setSongNameCaption(kPersonalFmMode); }

void FacePresenter::likeBoxShown(bool shown) { view_.setLikeInfoVisible(shown); }

void FacePresenter::likeResult(const std::string& text) { view_.setLikeResult(text); }

void FacePresenter::failed(const PlaybackFailure& failure) {
  switch (failure.kind) {
    case PlaybackFailure::Kind::PlaylistLoadFailed:
      if (failure.code == "404") view_.setSongNameCaption(failure.title);
      break;
    case PlaybackFailure::Kind::ServerUnreachable:
    case PlaybackFailure::Kind::NeedsLogin:
    case PlaybackFailure::Kind::NoPlaylists:
      view_.setArtistCaption(failure.kind == PlaybackFailure::Kind::NeedsLogin    ? kFmNeedsLogin
                             : failure.kind == PlaybackFailure::Kind::NoPlaylists ? kNoPlaylists
                             : serverRefused_ && serverRefused_()                 ? kServerRefused
                                                                  : kServerUnreachable);
      noticeShown_ = true;
      // The buttons follow the stream: an old song that plays on keeps its pause button, and
      // with nothing playing play is offered.
      showButtons(state_);
      break;
    case PlaybackFailure::Kind::SongUnavailable:
      break;
  }
}

}  // namespace lumora

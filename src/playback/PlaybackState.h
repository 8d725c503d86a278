#pragma once
// What playback keeps between events: the queues, the history, the song being played and the
// last playlist load. The play modes own it; other features read it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Song.h"
#include "common/SongGain.h"

namespace lumora {

inline constexpr const char* kPersonalFmMode = "私人FM模式";
inline constexpr const char* kPlaylistMode = "歌单模式";

// Songs in four parallel lists, one per field; positions are 1-based.
struct SongList {
  std::vector<std::string> ids;
  std::vector<std::string> names;
  std::vector<std::string> artists;
  std::vector<std::string> albums;

  // The shortest of the four lists, so a half-filled entry never counts.
  std::size_t size() const;
  bool empty() const { return size() == 0; }
  void append(const Song& song);
  // position in 1..size(); anything else gives an empty song / removes nothing.
  Song at(std::size_t position) const;
  void removeAt(std::size_t position);
  void clear();
};

// Songs of one source not played yet, in the server's order.
using PlayQueue = SongList;
// Started songs, newest last. The album is kept too, so a step back restores the whole song.
using PlayHistory = SongList;

// The song being played, one record: a start builds the next one aside and puts it here whole,
// so nothing ever reads half of one song and half of another.
struct NowPlaying {
  std::uint32_t currentStream = 0;
  std::string currentUrl;
  std::optional<SongGain> gain;  // the song's loudness, when the server told it
  std::string currentSongId;
  std::string likeSongId;
  std::string currentTitle = "Lumora";
  std::string currentName;
  std::string currentArtists;
  std::string currentAlbum;
  std::string lyricText;
  // The song's cover picture as the server sent it; empty when there is none.
  std::string cover;
};

// What the last playlist load reported.
struct PlaylistLoadState {
  std::string playlistLoadCode;
  std::string playlistCoverUrl;
  std::string playlistName;
};

// Everything the play modes share; lives as long as the main window.
struct PlaybackState {
  std::string playMode = kPlaylistMode;
  PlayQueue fmQueue;
  PlayQueue playlistQueue;
  int queueCount = 0;
  PlayHistory history;
  NowPlaying now;
  PlaylistLoadState playlist;
};

}  // namespace lumora

#pragma once
#include <string>

#include "playback/PlaybackInterfaces.h"

namespace lumora {

class PlaylistSquarePanel;

// The square's rows as the playlists a first play draws from.
class SquarePlaylists : public PlaylistSource {
 public:
  explicit SquarePlaylists(PlaylistSquarePanel& square) : square_(square) {}
  int playlistCount() const override;
  std::string playlistIdAt(int row) const override;
  bool answered() const override;
  void reload() override;

 private:
  PlaylistSquarePanel& square_;
};

}  // namespace lumora

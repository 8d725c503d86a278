#pragma once
#include <string>

#include "playback/PlaybackInterfaces.h"

namespace lumora {

class SquareWidgets;

// The square's rows as the playlists a first play draws from.
class SquarePlaylists : public PlaylistSource {
 public:
  explicit SquarePlaylists(SquareWidgets& widgets) : widgets_(widgets) {}
  int playlistCount() const override;
  std::string playlistIdAt(int row) const override;
  bool answered() const override;
  void reload() override;

 private:
  SquareWidgets& widgets_;
};

}  // namespace lumora

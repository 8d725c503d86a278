#include "square/SquarePlaylists.h"

#include "square/PlaylistSquarePanel.h"

namespace lumora {

int SquarePlaylists::playlistCount() const { return square_.rowCount(); }

std::string SquarePlaylists::playlistIdAt(int row) const { return square_.playlistIdAt(row); }

bool SquarePlaylists::answered() const { return square_.browser().answered(); }

void SquarePlaylists::reload() { square_.browser().loadCurrentPage(); }

}  // namespace lumora

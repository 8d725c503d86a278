#include "square/SquarePlaylists.h"

#include "square/PlaylistSquarePanel.h"

namespace lumora {

// While a page is coming, the rows shown before it.
int SquarePlaylists::playlistCount() const {
  return static_cast<int>(square_.browser().playableRows().size());
}

std::string SquarePlaylists::playlistIdAt(int row) const {
  const auto& rows = square_.browser().playableRows();
  return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)].id
                                                         : std::string();
}

bool SquarePlaylists::answered() const { return square_.browser().answered(); }

void SquarePlaylists::reload() { square_.browser().loadCurrentPage(); }

}  // namespace lumora

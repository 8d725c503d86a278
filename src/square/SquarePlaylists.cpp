#include "square/SquarePlaylists.h"

#include "square/SquareWidgets.h"

namespace lumora {

// While a page is coming, the rows shown before it.
int SquarePlaylists::playlistCount() const {
  return static_cast<int>(widgets_.square().playableRows().size());
}

std::string SquarePlaylists::playlistIdAt(int row) const {
  const auto& rows = widgets_.square().playableRows();
  return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)].id
                                                         : std::string();
}

bool SquarePlaylists::answered() const { return widgets_.square().answered(); }

void SquarePlaylists::reload() { widgets_.square().loadCurrentPage(); }

}  // namespace lumora

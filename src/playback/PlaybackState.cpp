#include "playback/PlaybackState.h"

#include <algorithm>

namespace lumora {

namespace {

bool validPosition(std::size_t position, std::size_t size) {
  return position >= 1 && position <= size;
}

template <typename List>
void eraseAt(List& list, std::size_t position) {
  if (position <= list.size()) list.erase(list.begin() + static_cast<std::ptrdiff_t>(position - 1));
}

}  // namespace

std::size_t SongList::size() const {
  return std::min({ids.size(), names.size(), artists.size(), albums.size()});
}

void SongList::append(const Song& song) {
  ids.push_back(song.id);
  names.push_back(song.name);
  artists.push_back(song.artists);
  albums.push_back(song.album);
}

Song SongList::at(std::size_t position) const {
  if (!validPosition(position, size())) return {};
  const std::size_t i = position - 1;
  return Song{ids[i], names[i], artists[i], albums[i]};
}

void SongList::removeAt(std::size_t position) {
  if (!validPosition(position, size())) return;
  eraseAt(ids, position);
  eraseAt(names, position);
  eraseAt(artists, position);
  eraseAt(albums, position);
}

void SongList::clear() {
  ids.clear();
  names.clear();
  artists.clear();
  albums.clear();
}

}  // namespace lumora

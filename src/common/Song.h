#pragma once
// One playable track as the music API client reads it and playback queues it.
#include <string>

namespace lumora {

// Ids are decimal text, never numbers.
struct Song {
  std::string id;
  std::string name;
  std::string artists;
  std::string album;

  bool operator==(const Song&) const = default;
};

}  // namespace lumora

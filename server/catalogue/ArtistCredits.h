#pragma once
// Who a song's artist credit names: the artists search lists and albums are led by.
#include <string>
#include <string_view>
#include <vector>

namespace lumora::server {

// The names a credit holds: "X feat. Y", "X ft. Y" and "X (feat. Y)" give X and Y; any other
// name is itself ("Ann & Bob" is a duo's name).
std::vector<std::string> CreditedArtists(std::string_view artist);

// The artist a credit leads with: X of "X feat. Y" and of "X & Y".
std::string LeadArtist(std::string_view artist);

}  // namespace lumora::server

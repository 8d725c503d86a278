#include "catalogue/ArtistCredits.h"

#include "common/Text.h"

namespace lumora::server {

std::vector<std::string> CreditedArtists(std::string_view artist) {
  const std::string lower = ToLowerAscii(std::string(artist));
  std::vector<std::string> names;
  std::size_t from = 0;
  while (from <= artist.size()) {
    // The first joint from here on, and where the next name starts past it.
    std::size_t at = artist.size(), next = artist.size() + 1;
    for (std::string_view joint :
         {" feat. ", " feat ", " featuring ", " ft. ", " ft ", " (feat. ", " (ft. ", " [feat. "}) {
      const std::size_t found = lower.find(joint, from);
      if (found < at) at = found, next = found + joint.size();
    }
    std::string name(artist.substr(from, at - from));
    // The guest of "X (feat. Y)" ends at its bracket; "Band (US)" keeps its own.
    if (name.find_first_of("([") == std::string::npos)
      while (!name.empty() && (name.back() == ')' || name.back() == ']')) name.pop_back();
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!name.empty()) names.push_back(std::move(name));
    from = next;
  }
  if (names.empty()) names.emplace_back(artist);
  return names;
}

std::string LeadArtist(std::string_view artist) {
  std::string lead = CreditedArtists(artist).front();
  return lead.substr(0, lead.find(" & "));
}

}  // namespace lumora::server

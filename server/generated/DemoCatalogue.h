#pragma once
// The catalogue a new user meets: eight made-up artists with an album each, thirteen playlists
// across every category and a chart of 2 000 tracks.
#include "generated/GeneratedCatalogue.h"

namespace lumora::server {

CatalogueRecipe DemoCatalogueRecipe();

}  // namespace lumora::server

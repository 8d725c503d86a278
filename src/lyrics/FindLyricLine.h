#pragma once

// The lyric of the playing song is kept as raw LRC text whose line breaks are still the two
// characters backslash and n; the line for a second is looked up afresh on every tick.

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

// The words of the last line tagged with the key's minute and second, or the empty text. The key
// is ClockText (common/Text.h) of the position in whole seconds.
std::string FindLyricLine(std::string_view lyricText, std::string_view timeKey);

}  // namespace lumora

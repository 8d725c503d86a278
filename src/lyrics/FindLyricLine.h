#pragma once

// The lyric of the playing song is kept as raw LRC text whose line breaks are still the two
// characters backslash and n. This plain lookup scans the whole text; LyricLineCache gives the
// same answers from an index built once per text.

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

// The words of the last line tagged with the key's minute and second, or the empty text. The key
// is ClockText (common/Text.h) of the position in whole seconds.
std::string FindLyricLine(std::string_view lyricText, std::string_view timeKey);

}  // namespace lumora

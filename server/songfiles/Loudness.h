#pragma once
// A song's integrated loudness (EBU R128) and true peak, measured from its decoded audio, as a
// ReplayGain track gain towards the -18 LUFS reference. The server runs it only in a tag reader
// of its own (TagReader.h), at low priority, since the decoder meets files from anyone.
#include <optional>
#include <string>

#include "songfiles/SongFile.h"

namespace lumora::server {

// The loudness ReplayGain's gains lead to.
inline constexpr double kReferenceLufs = -18;

// The gain and true peak of the audio at fd (which stays the caller's), named name; nullopt when
// it does not decode or holds too little sound to measure (silence, under half a second).
std::optional<ReplayGain> MeasureLoudness(int fd, const std::string& name);

// The figure a file's own tags give, else the measured one: what the index keeps of a song.
std::optional<ReplayGain> TaggedOrMeasuredGain(int fd, const std::string& name);

}  // namespace lumora::server

#pragma once
// How long a song's audio plays, where the header TagLib reads says otherwise: an MP3 of
// varying bit rate without the header that counts its frames is measured by its first frame's
// rate, and an MP3 or FLAC file cut short keeps the length its header promised.
#include <taglib/fileref.h>

#include <cstdint>

namespace lumora::server {

// The length in ms of the audio of file (opened with these properties): counted from its MPEG
// frames, or from its last FLAC frame, where the header or the first frame's rate would be
// wrong; else the properties' own.
std::int64_t AudioLengthMs(TagLib::File* file, const TagLib::AudioProperties& properties);

}  // namespace lumora::server

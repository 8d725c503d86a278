#pragma once
// The tag reader's answers as bytes (TagReader.h): what its process writes and what the server
// makes of them. The server reads them as it reads any input, so a reader that a file made to
// misbehave cannot make it keep more than a file's caps allow.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "songfiles/SongFile.h"

namespace lumora::server {

// tags: nullopt for a file that is not audio.
std::string EncodeTags(const std::optional<SongFileTags>& tags);
// false when bytes are not an answer EncodeTags makes, or say more than the caps allow.
bool DecodeTags(std::string_view bytes, std::optional<SongFileTags>* tags);

// A measured loudness (Loudness.h); nullopt for a file that could not be measured.
std::string EncodeGain(const std::optional<ReplayGain>& gain);
bool DecodeGain(std::string_view bytes, std::optional<ReplayGain>* gain);

std::string EncodePicture(const std::optional<Picture>& picture);
bool DecodePicture(std::string_view bytes, std::optional<Picture>* picture);

// The most an answer may be: a lyric and the tags' texts, or a picture.
inline constexpr std::size_t kMaxAnswerBytes =
    std::max(kMaxPictureBytes, kMaxLyricBytes + (kMaxArtists + 8) * (kMaxTagText + 16)) + 64;

}  // namespace lumora::server

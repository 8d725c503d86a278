#pragma once
// The ID3v2.3 tag we put in front of a downloaded song: our own frames first, then whatever frames
// of an older tag we do not write ourselves (so a song keeps its own track, year, genre, disc and
// the rest), then 50 bytes of padding.
//
// A file is never changed in place: the tagged file is written beside it and renamed over it, so
// a crash or a full disk leaves the old file whole.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace lumora {

// UTF-8 text; an empty slot writes no frame.
struct TagRecord {
  std::string artist;        // TPE1
  std::string title;         // TIT2
  std::string album;         // TALB
  std::string rightsNotice;  // TCOP
  std::string comment;       // COMM
  std::string track;         // TRCK
  std::string encodedBy;     // TENC
  std::string genre;         // TCON
  std::string lyrics;        // USLT
  std::string year;          // TYER
  std::string url;           // WXXX
  std::string composer;      // TCOM
  std::string picture;       // APIC, the picture's bytes
};

// The frames we write, in the order we write them. An old tag's frame is dropped where the record
// writes one of its id.
inline constexpr std::array<std::string_view, 13> kTagFrameIds = {
    "TYER", "TIT2", "TPE1", "TENC", "TCOP", "TRCK", "TALB",
    "TCON", "TCOM", "WXXX", "COMM", "USLT", "APIC"};

inline constexpr std::size_t kTagHeaderSize = 10;
inline constexpr std::size_t kTagPaddingSize = 50;
// The largest size a synch-safe header can state.
inline constexpr std::uint32_t kMaxTagSize = 0x0FFFFFFF;

// The frames of the record, in kTagFrameIds order. ASCII text is written as ISO-8859-1
// (encoding 0); any other text as UTF-16 with a byte-order mark (encoding 1), so nothing is lost.
std::string BuildFrames(const TagRecord& record);

// Where the audio of a file starts: 0 without a tag, else the tag's stated end, but never past
// the file's end. `front` is the file's first kTagHeaderSize bytes, or all of a shorter file.
std::uint64_t OldTagEnd(std::string_view front, std::uint64_t fileSize);

// The frames and padding chunks of an old tag (the file's first OldTagEnd bytes) that a new tag
// with the record's frames keeps; those of an ID3v2.4 tag made fit for version 2.3, none of an
// ID3v2.2 tag. The walk stops at the first frame or padding chunk that does not fit in the tag, so
// no audio byte is ever taken into the new tag.
std::string KeptOldFrames(std::string_view oldTag, const TagRecord& record);

// Header, frames, padding; empty when the frames are too large for the header to state.
std::string BuildTag(std::string_view frames);

// Puts the record's tag in front of the audio of the file at `path`, replacing a tag it had.
// false, and the file untouched, when it is missing, unreadable or cannot be replaced.
bool WriteTag(const std::filesystem::path& path, const TagRecord& record);

// Writes `audio` with the record's tag at `path` (any tag the audio begins with is replaced the
// same way), creating the file or replacing an earlier one as a whole. false, and any earlier
// file untouched, when it cannot be written.
bool WriteTaggedFile(const std::filesystem::path& path, const TagRecord& record,
                     std::string_view audio);

}  // namespace lumora

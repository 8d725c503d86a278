// A library's file as the tag reader reads it: the first byte picks the format its name says,
// the rest is the file. Its tags, lyric and picture stay within their caps, and the reader's
// answer comes back whole from the server's reading of it; the input itself, taken as a reader's
// answer (a reader a file made to misbehave), is read as any input is.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "songfiles/Latin1TagHandlers.h"
#include "songfiles/ReaderWire.h"
#include "songfiles/SongFile.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

constexpr const char* kNames[] = {"a.mp3", "a.flac", "a.ogg", "a.opus", "a.m4a", "a.wav", "a.oga"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lumora::server::InstallLatin1TagHandlers();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumora::server;
  if (size == 0) return 0;
  const std::string name = kNames[data[0] % std::size(kNames)];
  const int fd = memfd_create("song", MFD_CLOEXEC);
  for (std::size_t at = 1; at < size;) {
    const ssize_t n = write(fd, data + at, size - at);
    if (n <= 0) break;
    at += static_cast<std::size_t>(n);
  }
  const std::optional<SongFileTags> tags = ReadSongFile(dup(fd), name);
  std::optional<SongFileTags> tagsBack;
  Check(DecodeTags(EncodeTags(tags), &tagsBack) && tagsBack == tags);
  const std::optional<Picture> picture = ReadEmbeddedPicture(fd, name);
  std::optional<Picture> pictureBack;
  Check(DecodePicture(EncodePicture(picture), &pictureBack) &&
        pictureBack.has_value() == picture.has_value());
  if (picture) Check(pictureBack->bytes == picture->bytes && pictureBack->mime == picture->mime);

  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  if (DecodeTags(raw, &tagsBack) && tagsBack)
    Check(tagsBack->title.size() <= kMaxTagText && tagsBack->lyric.size() <= kMaxLyricBytes &&
          tagsBack->artists.size() <= kMaxArtists);
  if (DecodePicture(raw, &pictureBack) && pictureBack)
    Check(pictureBack->bytes.size() <= kMaxPictureBytes);
  return 0;
}

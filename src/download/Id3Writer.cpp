#include "download/Id3Writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "common/AtomicFile.h"
#include "common/TextCodec.h"

namespace lumora {
namespace {

void AppendBigEndian32(std::string& out, std::uint32_t n) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((n >> shift) & 0xFF);
}

std::uint32_t ReadBigEndian32(std::string_view bytes) {
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n = (n << 8) | static_cast<unsigned char>(bytes[i]);
  return n;
}

void AppendFrame(std::string& out, std::string_view id, std::string_view body) {
  out += id;
  AppendBigEndian32(out, static_cast<std::uint32_t>(body.size()));
  out.append(2, '\0');  // flags
  out += body;
}

// Encoding byte and text: plain ASCII as ISO-8859-1, anything else as UTF-16 with its byte-order
// mark, the one form every tag reader decodes without being told a code page.
std::string TextBody(std::string_view text) {
  const bool ascii =
      std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; });
  if (ascii) return '\0' + std::string(text);
  return "\x01\xFF\xFE" + utf8ToUtf16Le(text);
}

bool IsKnownId(std::string_view id) {
  id = id.substr(0, id.find('\0'));
  return std::find(kTagFrameIds.begin(), kTagFrameIds.end(), id) != kTagFrameIds.end();
}

// The new tag for a file whose first bytes are `oldTag` (empty without one).
std::string ComposeTag(const TagRecord& record, std::string_view oldTag) {
  return BuildTag(BuildFrames(record) + KeptOldFrames(oldTag));
}

bool ReadAt(int fd, std::uint64_t offset, std::size_t length, std::string& out) {
  out.resize(length);
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = pread(fd, out.data() + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::error_code CopyByReading(int in, std::uint64_t from, std::uint64_t length, int out) {
  std::vector<char> buffer(std::size_t{1} << 20);
  while (length > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
    ssize_t n = pread(in, buffer.data(), want, static_cast<off_t>(from));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {errno, std::generic_category()};
    if (n == 0) return std::make_error_code(std::errc::io_error);  // the file got shorter
    if (auto ec = WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n))))
      return ec;
    from += static_cast<std::uint64_t>(n);
    length -= static_cast<std::uint64_t>(n);
  }
  return {};
}

// Copies `length` bytes from offset `from` of `in` to the position of `out`, in the kernel where
// the file system allows.
std::error_code CopyRange(int in, std::uint64_t from, std::uint64_t length, int out) {
  auto offset = static_cast<off_t>(from);
  while (length > 0) {
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, 1u << 30));
    ssize_t n = copy_file_range(in, &offset, out, nullptr, chunk, 0);
    if (n > 0) {
      length -= static_cast<std::uint64_t>(n);
      continue;
    }
    if (n == 0) return std::make_error_code(std::errc::io_error);  // the file got shorter
    if (errno == EINTR) continue;
    // Some file systems (and older kernels) cannot copy between these two files.
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
      return CopyByReading(in, static_cast<std::uint64_t>(offset), length, out);
    return {errno, std::generic_category()};
  }
  return {};
}

}  // namespace

std::string BuildFrames(const TagRecord& r) {
  // Slots in the order of kTagFrameIds; the picture comes last.
  const std::string* texts[] = {&r.year,         &r.title, &r.artist,  &r.encodedBy,
                                &r.rightsNotice, &r.track, &r.album,   &r.genre,
                                &r.composer,     &r.url,   &r.comment, &r.lyrics};
  std::string frames;
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    if (!texts[i]->empty()) AppendFrame(frames, kTagFrameIds[i], TextBody(*texts[i]));
  }
  if (!r.picture.empty()) {
    // Encoding 0, MIME type and its end, front cover, empty description.
    std::string body("\0image/jpeg\0\x03\0", 14);
    AppendFrame(frames, "APIC", body + r.picture);
  }
  return frames;
}

std::uint64_t OldTagEnd(std::string_view front, std::uint64_t fileSize) {
  if (!front.starts_with("ID3")) return 0;
  // A header cut short by the file's end: the whole file is that broken tag.
  if (front.size() < kTagHeaderSize) return fileSize;
  std::uint64_t size = 0;
  for (std::size_t i = 6; i < 10; ++i) size = (size << 7) | (front[i] & 0x7F);
  return std::min(size + kTagHeaderSize, fileSize);
}

std::string KeptOldFrames(std::string_view tag) {
  std::string kept;
  std::uint64_t at = kTagHeaderSize;
  const std::uint64_t end = tag.size();
  while (at + 8 <= end) {
    std::string_view id = tag.substr(at, 4);
    std::uint64_t length = ReadBigEndian32(tag.substr(at + 4, 4));
    // Padding (or a zero-filled header) is carried in chunks of 10 bytes; a frame whole.
    std::uint64_t span = length < 1 ? 10 : length + 10;
    if (at + span > end) break;
    if (length < 1 || !IsKnownId(id)) kept += tag.substr(at, span);
    at += span;
  }
  return kept;
}

std::string BuildTag(std::string_view frames) {
  if (frames.size() > kMaxTagSize - kTagPaddingSize) return {};
  const auto size = static_cast<std::uint32_t>(frames.size() + kTagPaddingSize);
  std::string tag = "ID3\x03";
  tag += '\0';  // revision
  tag += '\0';  // flags
  for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((size >> shift) & 0x7F);
  tag.reserve(kTagHeaderSize + size);
  tag += frames;
  tag.append(kTagPaddingSize, '\0');
  return tag;
}

bool WriteTag(const std::filesystem::path& path, const TagRecord& record) {
  Descriptor in(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (in.get() < 0 || fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const auto fileSize = static_cast<std::uint64_t>(info.st_size);
  std::string front;
  if (!ReadAt(in.get(), 0, std::min<std::uint64_t>(fileSize, kTagHeaderSize), front)) return false;
  const std::uint64_t audioStart = OldTagEnd(front, fileSize);
  std::string oldTag;
  if (!ReadAt(in.get(), 0, audioStart, oldTag)) return false;
  const std::string tag = ComposeTag(record, oldTag);
  if (tag.empty()) return false;
  return !ReplaceFile(path, info.st_mode & 07777, [&](int out) {
    if (auto ec = WriteAll(out, tag)) return ec;
    return CopyRange(in.get(), audioStart, fileSize - audioStart, out);
  });
}

bool WriteTaggedFile(const std::filesystem::path& path, const TagRecord& record,
                     std::string_view audio) {
  const std::uint64_t audioStart = OldTagEnd(audio.substr(0, kTagHeaderSize), audio.size());
  const std::string tag = ComposeTag(record, audio.substr(0, audioStart));
  if (tag.empty()) return false;
  struct stat info {};
  mode_t mode = stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : NewFileMode();
  return !ReplaceFile(path, mode, [&](int out) {
    if (auto ec = WriteAll(out, tag)) return ec;
    return WriteAll(out, audio.substr(audioStart));
  });
}

}  // namespace lumora

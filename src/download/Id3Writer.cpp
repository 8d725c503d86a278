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

std::uint32_t SynchSafe32(std::string_view bytes) {
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n = (n << 7) | (static_cast<unsigned char>(bytes[i]) & 0x7F);
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

// The record's texts in the order of kTagFrameIds; the picture comes last.
std::array<const std::string*, kTagFrameIds.size()> Slots(const TagRecord& r) {
  return {&r.year,  &r.title,    &r.artist, &r.encodedBy, &r.rightsNotice, &r.track,  &r.album,
          &r.genre, &r.composer, &r.url,    &r.comment,   &r.lyrics,       &r.picture};
}

// Whether the record writes a frame of this id itself (an ID3v2.4 date stands for the year).
bool Writes(const TagRecord& record, std::string_view id) {
  id = id.substr(0, id.find('\0'));
  if (id == "TDRC") id = "TYER";
  const auto at = std::find(kTagFrameIds.begin(), kTagFrameIds.end(), id);
  return at != kTagFrameIds.end() && !Slots(record)[at - kTagFrameIds.begin()]->empty();
}

// The values of a text frame, parted in ID3v2.4 by the encoding's terminator, as UTF-8.
std::vector<std::string> TextValues(std::string_view body) {
  if (body.empty()) return {};
  const char encoding = body[0];
  body.remove_prefix(1);
  const char* const names[] = {"ISO-8859-1", "UTF-16", "UTF-16BE"};
  auto decode = [&](std::string_view bytes) {
    return encoding >= 0 && encoding <= 2 ? decodeToUtf8(bytes, names[int(encoding)])
                                          : toValidUtf8(bytes);
  };
  const std::size_t unit = encoding == 1 || encoding == 2 ? 2 : 1;
  std::vector<std::string> values;
  std::size_t start = 0;
  for (std::size_t i = 0; i + unit <= body.size(); i += unit) {
    if (body.substr(i, unit).find_first_not_of('\0') != std::string_view::npos) continue;
    values.push_back(decode(body.substr(start, i - start)));
    start = i + unit;
  }
  if (start < body.size()) values.push_back(decode(body.substr(start)));
  return values;
}

std::string Joined(const std::vector<std::string>& values, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < values.size(); ++i) text += (i > from ? "/" : "") + values[i];
  return text;
}

// One frame of an ID3v2.4 tag as our ID3v2.3 tag may hold it; empty to leave it out. Texts are
// decoded and written as ours are, several values joined by "/"; the recording time keeps its
// year; what version 2.3 cannot hold (other dates, packed or grouped frames, UTF-8 outside text
// frames) is left out.
std::string Version3Frame(std::string_view frame) {
  const std::string_view id = frame.substr(0, 4);
  const std::string_view body = frame.substr(kTagHeaderSize);
  if (static_cast<unsigned char>(frame[9]) & 0x4F) return {};
  std::string out;
  if (id == "TXXX") {
    const std::vector<std::string> values = TextValues(body);
    const std::string description = values.empty() ? "" : values[0];
    const std::string value = Joined(values, 1);
    // Both parts in the one encoding they need, the description ended by its terminator.
    const bool ascii = TextBody(description + value)[0] == '\0';
    const std::string pair = ascii ? std::string(1, '\0') + description + '\0' + value
                                   : "\x01\xFF\xFE" + utf8ToUtf16Le(description) +
                                         std::string(2, '\0') + "\xFF\xFE" + utf8ToUtf16Le(value);
    AppendFrame(out, id, pair);
  } else if (id == "TDRC") {
    const std::vector<std::string> values = TextValues(body);
    if (values.empty() || values[0].size() < 4) return {};
    AppendFrame(out, "TYER", TextBody(values[0].substr(0, 4)));
  } else if (id.starts_with("TD")) {
    return {};
  } else if (id[0] == 'T') {
    AppendFrame(out, id, TextBody(Joined(TextValues(body), 0)));
  } else if (!body.empty() && body[0] >= 2 &&
             (id == "COMM" || id == "USLT" || id == "APIC" || id == "SYLT" || id == "USER" ||
              id == "WXXX" || id == "GEOB")) {
    return {};
  } else {
    AppendFrame(out, id, body);
  }
  return out;
}

// The new tag for a file whose first bytes are `oldTag` (empty without one).
std::string ComposeTag(const TagRecord& record, std::string_view oldTag) {
  return BuildTag(BuildFrames(record) + KeptOldFrames(oldTag, record));
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
  const auto slots = Slots(r);
  std::string frames;
  for (std::size_t i = 0; i + 1 < slots.size(); ++i) {
    if (!slots[i]->empty()) AppendFrame(frames, kTagFrameIds[i], TextBody(*slots[i]));
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
  const std::uint64_t size = SynchSafe32(front.substr(6, 4));
  return std::min(size + kTagHeaderSize, fileSize);
}

std::string KeptOldFrames(std::string_view tag, const TagRecord& record) {
  std::string kept;
  // Version 2.2 frames have ids and sizes of another length: none of them can be carried.
  const char version = tag.size() >= kTagHeaderSize ? tag[3] : 0;
  if (version != 3 && version != 4) return kept;
  std::uint64_t at = kTagHeaderSize;
  const std::uint64_t end = tag.size();
  // An extended header comes first: its size leaves out its own four bytes in 2.3 only.
  if ((tag[5] & 0x40) && at + 4 <= end)
    at += version == 4 ? SynchSafe32(tag.substr(at, 4)) : ReadBigEndian32(tag.substr(at, 4)) + 4;
  while (at + 8 <= end) {
    std::string_view id = tag.substr(at, 4);
    const std::string_view size = tag.substr(at + 4, 4);
    std::uint64_t length = version == 4 ? SynchSafe32(size) : ReadBigEndian32(size);
    // Padding (or a zero-filled header) is carried in chunks of 10 bytes; a frame whole.
    std::uint64_t span = length < 1 ? 10 : length + 10;
    if (at + span > end) break;
    const std::string_view whole = tag.substr(at, span);
    if (length < 1)
      kept += whole;
    else if (!Writes(record, id))
      kept += version == 4 ? Version3Frame(whole) : std::string(whole);
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

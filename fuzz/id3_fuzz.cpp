// Arbitrary bytes as the front of a song file that may begin with a broken tag: the walk never
// reads past the file, never takes audio into the new tag, and the audio comes out whole.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "download/Id3Writer.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

const lumora::TagRecord& Record() {
  static const lumora::TagRecord record = [] {
    lumora::TagRecord r;
    r.title = "晴天";
    r.artist = "Artist 😀";
    r.picture = "\xFF\xD8 picture";
    return r;
  }();
  return record;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// One file per fuzzing process, in memory-backed storage when there is some.
const std::string& FilePath() {
  static const std::string path = [] {
    std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/id3_fuzz." + std::to_string(getpid()) + ".mp3";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  const std::uint64_t end = lumora::OldTagEnd(file.substr(0, lumora::kTagHeaderSize), size);
  Check(end <= size);
  Check((end == 0) == !file.starts_with("ID3"));
  const std::string kept = lumora::KeptOldFrames(file.substr(0, end), Record());
  Check(end < lumora::kTagHeaderSize ? kept.empty() : kept.size() <= end - 10);

  const std::string tag = lumora::BuildTag(lumora::BuildFrames(Record()) + kept);
  Check(!tag.empty());
  // Our own tag walks cleanly: the kept pieces come back whole, followed by our padding.
  Check(lumora::OldTagEnd(tag, tag.size()) == tag.size());
  Check(lumora::KeptOldFrames(tag, Record()) == kept + std::string(lumora::kTagPaddingSize, '\0'));

  // Through the file on disk: exactly our tag, then every byte after the old tag.
  const std::string& path = FilePath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(size));
  }
  Check(lumora::WriteTag(path, Record()));
  Check(ReadFile(path) == tag + std::string(file.substr(end)));
  std::remove(path.c_str());
  return 0;
}

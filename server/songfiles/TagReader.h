#pragma once
// Tags and pictures are read in processes of their own (the server's program started with
// kTagReaderArgument), since a library's files are input from anyone and the tag library is not
// hardened against them: an M4A whose atoms nest 70 000 deep overflows its stack, a compressed
// frame inflates to gigabytes. A reader runs with a small stack, a memory limit and kCpuPerFile
// of CPU time per file; one that dies or stops answering is ended, the file it was reading is
// reported as the cause, and the next file gets a new reader.
#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "songfiles/SongFile.h"

namespace lumora::server {

inline constexpr const char* kTagReaderArgument = "--tag-reader";

class TagReaders {
 public:
  // program: the executable to start as a reader (the server's own, "/proc/self/exe"); at most
  // most readers run at once, further reads wait for one.
  TagReaders(std::string program, unsigned most);
  ~TagReaders();
  TagReaders(const TagReaders&) = delete;
  TagReaders& operator=(const TagReaders&) = delete;

  // What ReadSongFile / ReadEmbeddedPicture say of the file open at fd (which stays the
  // caller's), named name; false, with why, when no reader could say it.
  bool ReadTags(int fd, const std::string& name, std::optional<SongFileTags>* tags,
                std::string* why);
  bool ReadPicture(int fd, const std::string& name, std::optional<Picture>* picture,
                   std::string* why);
  // The loudness TaggedOrMeasuredGain finds in the file (Loudness.h). The reader that measures
  // runs at the lowest CPU and I/O priority from then on: keep such readers to themselves.
  bool MeasureGain(int fd, const std::string& name, std::optional<ReplayGain>* gain,
                   std::string* why);
  // Ends the readers at work, whose reads fail at once, and every read asked for later (a
  // server stopping).
  void Interrupt();
  // Ends the idle readers but keep of them (after a scan).
  void Trim(unsigned keep);

  static constexpr int kCpuPerFile = 10;    // seconds
  static constexpr int kAnswerWithin = 60;  // seconds, for a reader waiting on a slow disk
  static constexpr int kMemoryMiB = 512;    // what a reader may allocate
  static constexpr int kStackMiB = 8;
  // Decoding a whole song takes longer than its tags: an hour's mix at low priority.
  static constexpr int kCpuPerMeasure = 120;
  static constexpr int kMeasureWithin = 900;

 private:
  struct Reader {
    pid_t pid = -1;
    int socket = -1;
  };
  // One request's answer through decode, or false with why.
  bool Read(char kind, int fd, const std::string& name, std::string* why,
            const std::function<bool(std::string_view)>& decode);
  // The answer to one request, or false with why.
  bool Ask(char kind, int fd, const std::string& name, std::string* answer, std::string* why);
  std::optional<Reader> Start(std::string* why);
  static void End(Reader& reader, bool kill, std::string* why);

  const std::string program_;
  const unsigned most_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<Reader> idle_;
  unsigned running_ = 0;  // idle or working
  std::vector<pid_t> busy_;  // the readers reading, until their answer came or failed
  bool interrupted_ = false;
};

// The reader's side: answers the requests that come on socket until it closes.
int RunTagReader(int socket);

}  // namespace lumora::server

#include "songfiles/ReaderWire.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace lumora::server {

namespace {

// Numbers as 8 bytes, texts as their length (4 bytes) and their bytes, in the order written.
class Writer {
 public:
  void Number(std::int64_t n) { out_.append(reinterpret_cast<const char*>(&n), sizeof n); }
  void Text(const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    out_.append(reinterpret_cast<const char*>(&size), sizeof size);
    out_ += text;
  }
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  bool Number(std::int64_t* n) { return Take(n, sizeof *n); }
  bool Text(std::string* text, std::size_t most) {
    std::uint32_t size = 0;
    if (!Take(&size, sizeof size) || size > most || size > in_.size()) return false;
    text->assign(in_.substr(0, size));
    in_.remove_prefix(size);
    return true;
  }
  bool AtEnd() const { return in_.empty(); }

 private:
  bool Take(void* to, std::size_t size) {
    if (in_.size() < size) return false;
    std::memcpy(to, in_.data(), size);
    in_.remove_prefix(size);
    return true;
  }
  std::string_view in_;
};

constexpr char kNone = 'N', kSome = 'Y';
constexpr std::size_t kMaxTypeText = 32;  // "mp3", "audio/mpeg"

// Which figures there are (a bit each), then each one's bits, so that it comes back the same.
void WriteGain(Writer& w, const ReplayGain& gain) {
  const std::optional<double>* figures[] = {&gain.trackGain, &gain.trackPeak, &gain.albumGain,
                                            &gain.albumPeak};
  std::int64_t present = 0;
  for (int i = 0; i < 4; ++i)
    if (*figures[i]) present |= 1 << i;
  w.Number(present);
  for (const std::optional<double>* figure : figures)
    if (*figure) w.Number(std::bit_cast<std::int64_t>(**figure));
}

// Only figures a tag or a measurement can give.
bool ReadGain(Reader& r, ReplayGain* gain) {
  const std::pair<std::optional<double>*, double> figures[] = {
      {&gain->trackGain, kMaxGainDb},
      {&gain->trackPeak, kMaxPeak},
      {&gain->albumGain, kMaxGainDb},
      {&gain->albumPeak, kMaxPeak}};
  std::int64_t present = 0;
  if (!r.Number(&present) || present < 0 || present > 15) return false;
  for (int i = 0; i < 4; ++i) {
    if (!(present & (1 << i))) continue;
    std::int64_t bits = 0;
    if (!r.Number(&bits)) return false;
    const double value = std::bit_cast<double>(bits);
    if (!(std::abs(value) <= figures[i].second)) return false;
    *figures[i].first = value;
  }
  return true;
}

}  // namespace

std::string EncodeTags(const std::optional<SongFileTags>& tags) {
  Writer w;
  w.out_ += tags ? kSome : kNone;
  if (!tags) return w.out_;
  for (const std::string* text : {&tags->title, &tags->album, &tags->albumArtist, &tags->genre})
    w.Text(*text);
  w.Number(static_cast<std::int64_t>(tags->artists.size()));
  for (const std::string& artist : tags->artists) w.Text(artist);
  for (std::int64_t n :
       {std::int64_t{tags->compilation}, std::int64_t{tags->disc}, std::int64_t{tags->track},
        tags->durationMs, std::int64_t{tags->hasPicture}})
    w.Number(n);
  w.Text(tags->extension);
  w.Text(tags->mime);
  w.Text(tags->lyric);
  WriteGain(w, tags->gain);
  return w.out_;
}

bool DecodeTags(std::string_view bytes, std::optional<SongFileTags>* tags) {
  tags->reset();
  if (bytes == std::string_view(&kNone, 1)) return true;
  if (bytes.empty() || bytes[0] != kSome) return false;
  Reader r(bytes.substr(1));
  SongFileTags t;
  std::int64_t artists = 0, compilation = 0, disc = 0, track = 0, picture = 0;
  bool ok = r.Text(&t.title, kMaxTagText) && r.Text(&t.album, kMaxTagText) &&
            r.Text(&t.albumArtist, kMaxTagText) && r.Text(&t.genre, kMaxTagText) &&
            r.Number(&artists) && artists >= 0 && artists <= static_cast<std::int64_t>(kMaxArtists);
  for (std::int64_t i = 0; ok && i < artists; ++i)
    ok = r.Text(&t.artists.emplace_back(), kMaxTagText);
  ok = ok && r.Number(&compilation) && r.Number(&disc) && r.Number(&track) &&
       r.Number(&t.durationMs) && r.Number(&picture) && r.Text(&t.extension, kMaxTypeText) &&
       r.Text(&t.mime, kMaxTypeText) && r.Text(&t.lyric, kMaxLyricBytes) && ReadGain(r, &t.gain) &&
       r.AtEnd();
  // Numbers that a tag can hold; anything else did not come from ReadSongFile.
  ok = ok && disc >= 0 && disc <= INT32_MAX && track >= 0 && track <= INT32_MAX && t.durationMs > 0;
  if (!ok) return false;
  t.compilation = compilation != 0;
  t.disc = static_cast<int>(disc);
  t.track = static_cast<int>(track);
  t.hasPicture = picture != 0;
  *tags = std::move(t);
  return true;
}

std::string EncodeGain(const std::optional<ReplayGain>& gain) {
  Writer w;
  w.out_ += gain ? kSome : kNone;
  if (gain) WriteGain(w, *gain);
  return w.out_;
}

bool DecodeGain(std::string_view bytes, std::optional<ReplayGain>* gain) {
  gain->reset();
  if (bytes == std::string_view(&kNone, 1)) return true;
  if (bytes.empty() || bytes[0] != kSome) return false;
  Reader r(bytes.substr(1));
  ReplayGain g;
  if (!ReadGain(r, &g) || !r.AtEnd()) return false;
  *gain = g;
  return true;
}

std::string EncodePicture(const std::optional<Picture>& picture) {
  Writer w;
  w.out_ += picture ? kSome : kNone;
  if (picture) w.Text(picture->bytes);
  return w.out_;
}

bool DecodePicture(std::string_view bytes, std::optional<Picture>* picture) {
  picture->reset();
  if (bytes == std::string_view(&kNone, 1)) return true;
  if (bytes.empty() || bytes[0] != kSome) return false;
  Reader r(bytes.substr(1));
  std::string data;
  if (!r.Text(&data, kMaxPictureBytes) || !r.AtEnd()) return false;
  // Only a picture the server would keep itself.
  auto kept = KeptPicture(std::move(data));
  if (!kept) return false;
  *picture = std::move(kept);
  return true;
}

}  // namespace lumora::server

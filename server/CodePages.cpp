#include "CodePages.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "TextEncodings.h"

namespace lumora::server {
namespace {

enum class Kind { kInvalid, kEveryday, kNeutral, kRare };

struct Char {
  std::size_t length = 0;
  Kind kind = Kind::kInvalid;
};

bool In(int value, int low, int high) { return value >= low && value <= high; }

// One character of a code page from its first byte (over 0x7F) and the next (-1 at the end).
using Classify = Char (*)(int lead, int trail);

Char Gbk(int lead, int trail) {
  if (!In(lead, 0x81, 0xFE) || !In(trail, 0x40, 0xFE) || trail == 0x7F) return {};
  if (lead < 0xA1 || trail < 0xA1) return {2, Kind::kRare};      // GBK's additions to GB2312
  if (In(lead, 0xB0, 0xD7)) return {2, Kind::kEveryday};         // GB2312's level 1
  if (lead == 0xA1 || lead == 0xA3) return {2, Kind::kNeutral};  // punctuation, wide Latin
  return {2, Kind::kRare};  // level 2, kana, Greek, Cyrillic, box drawing
}

Char Big5(int lead, int trail) {
  if (!In(lead, 0x81, 0xFE) || !(In(trail, 0x40, 0x7E) || In(trail, 0xA1, 0xFE))) return {};
  if (In(lead << 8 | trail, 0xA440, 0xC67E)) return {2, Kind::kEveryday};  // frequent ones
  if (In(lead, 0xA1, 0xA3)) return {2, Kind::kNeutral};                    // punctuation
  return {2, Kind::kRare};
}

Char ShiftJis(int lead, int trail) {
  if (In(lead, 0xA1, 0xDF)) return {1, Kind::kRare};  // half-width katakana
  if (!(In(lead, 0x81, 0x9F) || In(lead, 0xE0, 0xFC)) || !In(trail, 0x40, 0xFC) || trail == 0x7F)
    return {};
  const int code = lead << 8 | trail;
  // Hiragana, katakana and the kanji of level 1.
  if (In(code, 0x829F, 0x82F1) || In(code, 0x8340, 0x8396) || In(code, 0x889F, 0x9872))
    return {2, Kind::kEveryday};
  if (lead == 0x81 || lead == 0x82) return {2, Kind::kNeutral};  // punctuation, wide Latin
  return {2, Kind::kRare};
}

struct CodePage {
  const char* name;
  Classify classify;
};

// In the order a tie goes: the most common of them first.
constexpr CodePage kPages[] = {{"GBK", Gbk}, {"CP950", Big5}, {"CP932", ShiftJis}};

bool AsciiLetter(std::string_view bytes, std::size_t at) {
  return at < bytes.size() && std::isalpha(static_cast<unsigned char>(bytes[at]));
}

// How many bytes read as Latin-1 make accented letters inside Latin words ("Åsa", "Noël").
int LatinLetters(std::string_view bytes) {
  int letters = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0xC0 && c != 0xD7 && c != 0xF7 &&
        (AsciiLetter(bytes, i + 1) || (i > 0 && AsciiLetter(bytes, i - 1))))
      ++letters;
  }
  return letters;
}

struct Score {
  int everyday = 0, rare = 0;
};

// The characters of bytes read in a code page; nullopt for a refused reading.
std::optional<Score> Read(std::string_view bytes, Classify classify) {
  auto letter = [&](std::size_t at) { return AsciiLetter(bytes, at); };
  Score score;
  int& everyday = score.everyday;
  int& rare = score.rare;
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    int run = 0;
    for (; i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80; ++run) {
      const int trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : -1;
      const Char c = classify(static_cast<unsigned char>(bytes[i]), trail);
      if (c.length == 0) return std::nullopt;
      everyday += c.kind == Kind::kEveryday;
      rare += c.kind == Kind::kRare;
      i += c.length;
    }
    if (run == 1 && start > 0 && letter(start - 1) && letter(i)) return std::nullopt;
  }
  if (rare > everyday) return std::nullopt;
  return score;
}

}  // namespace

std::optional<CodePageText> ReadEastAsianCodePage(std::string_view bytes) {
  // A reading must also beat Latin-1's: more everyday characters than it has accented letters.
  const int latin = LatinLetters(bytes);
  std::vector<std::pair<int, const CodePage*>> readings;
  for (const CodePage& page : kPages)
    if (std::optional<Score> s = Read(bytes, page.classify); s && s->everyday > latin)
      readings.push_back({s->everyday - s->rare, &page});
  std::stable_sort(readings.begin(), readings.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [score, page] : readings)
    if (std::optional<std::string> text = ConvertToUtf8(bytes, page->name))
      return CodePageText{std::move(*text), page->name};
  return std::nullopt;
}

}  // namespace lumora::server

#include "songfiles/CodePages.h"

#include <cctype>
#include <unordered_set>

#include "songfiles/TextEncodings.h"

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

// The characters most used in Chinese writing, in both scripts: of two readings that give only
// everyday characters, the one that gives more of these is what was written.
constexpr std::string_view kMostUsed =
    "的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着"
    "去之过家学对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主"
    "行方又如前所本见经头面公同三已老从动两长知民样现分将外但身些与高意进把法此实回二"
    "理美点月明其种声全工己话儿者向情部正名定女问力机给等几很业最间新什打便位因重被走"
    "电四第门相次东政海口使教西再平真听世气信北少关并内加化由却代军产入先山五太水万市"
    "眼体别处总才场师书比住员九笑性通目华报立马命张活难神数件安表原车白应路期叫死常提"
    "感金何更反合放做系计或司利受光王果亲界及今京务制解各任至清物台象记边共风战干接它"
    "许八特觉望直服毛林题建南度统色字请交爱让认算论百吃义科怎元社术结六功指思非流每青"
    "管夫连远资队跟带花快条院变联言权往展该领传近留红治决周保达办运武半候七必城父强步"
    "完革深区即求品士转量空甚众技轻程告江语英基派满式李息写呢识极令黄德收脸钱党倒未持"
    "取设始版双历越史商千片容研像找友孩站广改议形委早房音火际则首单据导影失拿网香似斯"
    "专石若兵弟谁校读志飞观争究包组造落视济喜离虽坏兴切随局温這來國個說們為時會著過學"
    "對裡後麼沒於還發當無開見經頭從動兩長樣現將與進實點種聲話兒問機給幾業間電門東聽氣"
    "關並內卻軍產萬體別處總場師書員華報馬張難數車應親務記邊風戰許覺題統請愛讓認論義術"
    "結連遠資隊帶條變聯權該領傳紅決達辦運強區轉眾輕語滿寫識極臉錢黨設雙歷際則單據導網"
    "專誰讀飛觀爭組視濟離雖壞興隨溫計幹廣議";

// How many characters of utf8 are among kMostUsed.
int MostUsed(std::string_view utf8) {
  static const std::unordered_set<std::string_view> most = [] {
    std::unordered_set<std::string_view> set;
    for (std::size_t i = 0; i < kMostUsed.size(); i += 3) set.insert(kMostUsed.substr(i, 3));
    return set;
  }();
  int count = 0;
  for (std::size_t i = 0; i + 3 <= utf8.size(); ++i)
    if (static_cast<unsigned char>(utf8[i]) >= 0xE0 && most.count(utf8.substr(i, 3))) ++count;
  return count;
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
  Score score;
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
      score.everyday += c.kind == Kind::kEveryday;
      score.rare += c.kind == Kind::kRare;
      i += c.length;
    }
    if (run == 1 && start > 0 && AsciiLetter(bytes, start - 1) && AsciiLetter(bytes, i))
      return std::nullopt;
  }
  if (score.rare > score.everyday) return std::nullopt;
  return score;
}

}  // namespace

std::optional<CodePageText> ReadEastAsianCodePage(std::string_view bytes) {
  // A reading must also beat Latin-1's: more everyday characters than it has accented letters.
  const int latin = LatinLetters(bytes);
  std::optional<CodePageText> best;
  int bestScore = 0;
  for (const CodePage& page : kPages) {
    const std::optional<Score> s = Read(bytes, page.classify);
    if (!s || s->everyday <= latin) continue;
    std::optional<std::string> text = ConvertToUtf8(bytes, page.name);
    if (!text) continue;
    // A most used character counts twice; a tie goes to the page met first.
    const int score = s->everyday - s->rare + MostUsed(*text);
    if (!best || score > bestScore) {
      best = CodePageText{std::move(*text), page.name};
      bestScore = score;
    }
  }
  return best;
}

}  // namespace lumora::server

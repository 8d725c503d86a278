#include "json/TapeNav.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "json/JsonDocument.h"
#include "json/JsonParse.h"
#include "json/JsonText.h"
#include "json/ScriptNumber.h"

namespace lumora::json_detail {

namespace {

// Objects and arrays this large get an index on first use; smaller ones are scanned.
constexpr std::uint32_t kIndexFrom = 16;

// Length and outer bytes tell most member names apart; the table compares names anyway.
std::size_t NameHash(std::string_view name) {
  std::uint64_t h = name.size();
  if (!name.empty()) {
    h |= std::uint64_t{static_cast<unsigned char>(name.front())} << 8 |
         std::uint64_t{static_cast<unsigned char>(name.back())} << 16 |
         std::uint64_t{static_cast<unsigned char>(name[name.size() / 2])} << 24;
  }
  h *= 0x9E3779B97F4A7C15ull;
  return static_cast<std::size_t>(h ^ (h >> 29));
}

}  // namespace

Index TapeNav::Member(Index obj, std::string_view name) const {
  Index end = After(obj) - 1;
  if (Count(obj) >= kIndexFrom) return Indexed(obj, end, name);
  Index found = kNone;
  for (Index k = obj + 1; k < end; k = After(k + 1)) {
    if (String(k) == name) found = k + 1;
  }
  return found;
}

Index TapeNav::Indexed(Index obj, Index end, std::string_view name) const {
  std::vector<std::uint32_t>& table = store->table;
  if (store->tableOf != obj) {
    // The walk below goes one dependent load at a time; ask for the object's tape and
    // (about) its strings at once.
    std::size_t bytes = std::min<std::size_t>(std::size_t{end - obj} * 8, 8192);
    auto words = reinterpret_cast<const char*>(tape + obj);
    auto chars = reinterpret_cast<const char*>(strings + Payload(obj + 1));
    for (std::size_t off = 0; off < bytes; off += 64) {
      __builtin_prefetch(words + off);
      __builtin_prefetch(chars + off);
    }
    store->tableOf = kNone;
    table.assign(std::bit_ceil(std::size_t{Count(obj)} * 2), 0);
    std::size_t mask = table.size() - 1;
    for (Index k = obj + 1; k < end; k = After(k + 1)) {
      std::string_view key = String(k);
      for (std::size_t slot = NameHash(key) & mask;; slot = (slot + 1) & mask) {
        if (table[slot] == 0 || String(table[slot]) == key) {
          table[slot] = k;
          break;
        }
      }
    }
    store->tableOf = obj;
  }
  std::size_t mask = table.size() - 1;
  for (std::size_t slot = NameHash(name) & mask; table[slot] != 0; slot = (slot + 1) & mask) {
    if (String(table[slot]) == name) return table[slot] + 1;
  }
  return kNone;
}

Index TapeNav::Item(Index arr, std::uint64_t index) const {
  std::uint32_t count = Count(arr);
  if (index >= count) return kNone;
  if (count < kIndexFrom) {
    Index k = arr + 1;
    for (std::uint64_t n = 0; n < index; ++n) k = After(k);
    return k;
  }
  if (store->itemsOf != arr) {
    store->itemsOf = arr;
    store->lastItems = &store->items[arr];  // map values stay put when the map grows
  }
  // Grown only as far as asked, so reading the items in order walks each one once, just
  // before it is read anyway.
  std::vector<std::uint32_t>& items = *store->lastItems;
  if (index >= items.size()) {
    if (items.empty()) {
      items.reserve(count);
      items.push_back(arr + 1);
    }
    for (Index k = items.back(); items.size() <= index;) {
      k = After(k);
      items.push_back(k);
    }
  }
  return (*store->lastItems)[index];
}

Index TapeNav::Walk(std::string_view rest, bool bare) const {
  Tape& s = *store;
  Index cur = Root();
  std::size_t at = 0;
  if (s.walkedBare == bare) {
    std::size_t common = static_cast<std::size_t>(
        std::mismatch(rest.begin(), rest.end(), s.walked.begin(), s.walked.end()).first -
        rest.begin());
    // The deepest step of the last path that ends inside the shared text, where this path's
    // own step ends too.
    std::size_t keep = s.steps.size();
    for (; keep > 0; --keep) {
      std::size_t end = s.steps[keep - 1].first;
      if (end <= common && (end == rest.size() || rest[end] == '.' || rest[end] == '[')) break;
    }
    s.steps.resize(keep);
    if (keep > 0) {
      at = s.steps.back().first;
      cur = s.steps.back().second;
    }
  } else {
    s.steps.clear();
  }
  s.walked.assign(rest);
  s.walkedBare = bare;
  std::string_view left = rest.substr(at);
  bool first = bare && at == 0;
  while (!left.empty()) {
    Step step;
    if (!TakeStep(left, step, first)) return kNone;
    first = false;
    cur = Child(cur, step);
    if (cur == kNone) return kNone;
    s.steps.emplace_back(static_cast<std::uint32_t>(rest.size() - left.size()), cur);
  }
  return cur;
}

Index TapeNav::Child(Index i, const Step& step) const {
  char type = Type(i);
  if (type == '[') return step.isIndex ? Item(i, step.index) : kNone;
  if (type != '{') return kNone;
  if (!step.isIndex) return Member(i, step.name);
  char buf[24];
  return Member(i,
                std::string_view(buf, std::to_chars(buf, buf + sizeof buf, step.index).ptr - buf));
}

Index TapeNav::ItemOf(Index i, int index) const {
  if (!Present(i)) return kNone;
  if (Type(i) == '[') return index < 0 ? kNone : Item(i, static_cast<std::uint64_t>(index));
  if (Type(i) == '{') return Member(i, std::to_string(index));
  return kNone;
}

void TapeNav::AppendNumber(Index i, std::string& out) const {
  char buf[32];
  switch (Type(i)) {
    case 'l':
      out.append(buf, std::to_chars(buf, buf + sizeof buf, Word<std::int64_t>(i)).ptr);
      break;
    case 'u':
      out.append(buf, std::to_chars(buf, buf + sizeof buf, Word<std::uint64_t>(i)).ptr);
      break;
    default:
      AppendDouble(Word<double>(i), out);
  }
}

double TapeNav::Number(Index i) const {
  if (i == kNone) return std::numeric_limits<double>::quiet_NaN();
  switch (Type(i)) {
    case 'l':
      return static_cast<double>(Word<std::int64_t>(i));
    case 'u':
      return static_cast<double>(Word<std::uint64_t>(i));
    case 'd':
      return Word<double>(i);
    case 't':
      return 1;
    case 'f':
    case 'n':
      return 0;
    case '"':
      return StringToNumber(String(i));
    case '[': {
      std::string text;
      AppendScriptText(i, text);
      return StringToNumber(text);
    }
    default:
      return std::numeric_limits<double>::quiet_NaN();
  }
}

void TapeNav::AppendScriptText(Index i, std::string& out) const {
  switch (Type(i)) {
    case 't':
      out += "true";
      break;
    case 'f':
      out += "false";
      break;
    case 'l':
    case 'u':
    case 'd':
      AppendNumber(i, out);
      break;
    case '"':
      out += String(i);
      break;
    case '[': {
      Index end = After(i) - 1;
      for (Index k = i + 1; k < end; k = After(k)) {
        if (k != i + 1) out += ',';
        AppendScriptText(k, out);
      }
      break;
    }
    case '{':
      out += "[object Object]";
      break;
    default:
      break;
  }
}

int TapeNav::TypeCode(Index i) const {
  if (!Present(i)) return JsonDocument::kMissing;
  switch (Type(i)) {
    case 't':
    case 'f':
      return JsonDocument::kBoolean;
    case 'l':
    case 'u':
    case 'd':
      return JsonDocument::kNumber;
    case '{':
      return JsonDocument::kObject;
    case '[':
      return JsonDocument::kArray;
    case '"':
      return JsonDocument::kString;
    default:
      return JsonDocument::kOther;
  }
}

JsonTree TapeNav::SubTree(Index i) const {
  if (i == kNone) return TreeOf(Kind::Undefined);
  char type = Type(i);
  if (type == 't' || type == 'f') {
    JsonTree t = TreeOf(Kind::Bool);
    t.nodes[0].flag = type == 't';
    return t;
  }
  if (type == 'l' || type == 'u' || type == 'd') {
    JsonTree t = TreeOf(Kind::Number);
    t.nodes[0].number = Number(i);
    if (t.nodes[0].number == 0) t.nodes[0].number = 0;  // -0 writes as 0
    if (type != 'd') {
      // Integers keep their digits (within 2^53 the double would write the same ones).
      AppendNumber(i, t.chars);
      t.nodes[0].text = {0, static_cast<std::uint32_t>(t.chars.size())};
    }
    return t;
  }
  if (type == '"') {
    std::string quoted;
    AppendQuoted(String(i), quoted);
    std::optional<JsonTree> v = EvalData(Unmark(std::move(quoted)));
    if (v) return std::move(*v);
  }
  return TreeOf(Kind::Null);
}

}  // namespace lumora::json_detail

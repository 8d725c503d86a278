#include "common/Text.h"

#include <string>
#include <unordered_set>

namespace lumora {
namespace {

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// First match of the separator at or after `from` that starts on a character boundary.
std::size_t findAtBoundary(std::string_view text, std::string_view separator, std::size_t from) {
  while (true) {
    std::size_t at = text.find(separator, from);
    if (at == std::string_view::npos || !isContinuationByte(text[at])) return at;
    from = at + 1;
  }
}

}  // namespace

std::string trimText(std::string_view text) {
  while (true) {
    if (text.starts_with(' ')) {
      text.remove_prefix(1);
    } else if (text.starts_with(kFullWidthSpace)) {
      text.remove_prefix(kFullWidthSpace.size());
    } else if (text.ends_with(' ')) {
      text.remove_suffix(1);
    } else if (text.ends_with(kFullWidthSpace)) {
      text.remove_suffix(kFullWidthSpace.size());
    } else {
      return std::string(text);
    }
  }
}

std::vector<std::string> splitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  std::size_t from = 0;
  while (true) {
    std::size_t at = findAtBoundary(text, separator, from);
    if (at == std::string_view::npos) {
      // A separator at the very end leaves nothing after it: no empty last part.
      if (from < text.size()) parts.emplace_back(text.substr(from));
      return parts;
    }
    parts.emplace_back(text.substr(from, at - from));
    from = at + separator.size();
  }
}

std::string joinText(const std::vector<std::string>& parts, std::string_view separator) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  return joined;
}

std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from) {
  if (from > text.size() || what.size() > text.size() - from) {
    return what.empty() && from <= text.size() ? from : std::string_view::npos;
  }
  for (std::size_t at = from; at + what.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < what.size() && foldAscii(text[at + i]) == foldAscii(what[i])) ++i;
    if (i == what.size()) return at;
  }
  return std::string_view::npos;
}

bool containsNoCase(std::string_view text, std::string_view what) {
  return findNoCase(text, what) != std::string_view::npos;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && findNoCase(a, b) == 0;
}

std::string ToLowerAscii(std::string text) {
  for (char& c : text) c = foldAscii(c);
  return text;
}

std::string removeAllNoCase(std::string_view text, std::string_view what) {
  if (what.empty()) return std::string(text);
  std::string out;
  std::size_t from = 0;
  while (true) {
    std::size_t at = findNoCase(text, what, from);
    if (at == std::string_view::npos) break;
    out.append(text.substr(from, at - from));
    from = at + what.size();
  }
  out.append(text.substr(from));
  return out;
}

std::string TextBetween(std::string_view text, std::string_view start, std::string_view end) {
  std::size_t begin = text.find(start);
  if (begin == std::string_view::npos) return {};
  begin += start.size();
  std::size_t stop = text.find(end, begin);
  if (stop == std::string_view::npos) return {};
  return std::string(text.substr(begin, stop - begin));
}

std::string TextBefore(std::string_view text, std::string_view separator) {
  std::size_t at = text.find(separator);
  if (at == std::string_view::npos) return {};
  return std::string(text.substr(0, at));
}

std::string RemoveDuplicateMembers(std::string_view text, std::string_view separator) {
  // A set keeps this linear: answers may carry thousands of cookies.
  std::unordered_set<std::string> seen;
  std::vector<std::string> kept;
  for (std::string& part : splitText(text, separator)) {
    if (seen.insert(part).second) kept.push_back(std::move(part));
  }
  return joinText(kept, separator);
}

std::string ClockText(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  auto two = [](std::int64_t value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) text.insert(0, 2 - text.size(), '0');
    return text;
  };
  return two(seconds / 60) + ":" + two(seconds % 60);
}

}  // namespace lumora

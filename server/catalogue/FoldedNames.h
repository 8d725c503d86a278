#pragma once
// Names folded for search, and a list of them searched in one pass: "Björk", "BJÖRK", "bjork"
// and "ｂｊｏｒｋ" all fold to "bjork", so any of them finds the others.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumora::server {

// text without case, accents or compatibility forms (full-width letters, ligatures); text that
// is not UTF-8 only loses the case of its ASCII letters.
std::string FoldForSearch(std::string_view text);

// FoldForSearch once per distinct name, for names that many songs share (artists, albums).
class FoldMemo {
 public:
  const std::string& operator()(const std::string& name);

 private:
  std::unordered_map<std::string, std::string> folded_;
};

// Names, each of an owner (a song, an album...), held as one folded text: a search is one pass
// over it, never a look at the owners themselves.
class FoldedNames {
 public:
  // Adds a name of owner; an owner's names are added one after another.
  void Add(std::string_view name, std::size_t owner) { AddFolded(FoldForSearch(name), owner); }
  // The same for a name already folded.
  void AddFolded(std::string_view folded, std::size_t owner);
  // No room left to grow: for names that stay as they are.
  void ShrinkToFit();
  // The owners of the names that hold folded (FoldForSearch's text), each once, in the order
  // they were added. All of them for the empty text.
  std::vector<std::size_t> Find(std::string_view folded) const;

 private:
  // Each name after a '\n' (a line break inside a name is a space), so that no match runs
  // across two names.
  std::string text_;
  std::vector<std::uint32_t> startAt_;  // where each name starts in text_
  std::vector<std::uint32_t> owners_;   // whose each name is
};

}  // namespace lumora::server

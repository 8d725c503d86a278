#include "catalogue/FoldedNames.h"

#include <string.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>

#include "common/Text.h"

namespace lumora::server {

std::string FoldForSearch(std::string_view text) {
  utf8proc_uint8_t* folded = nullptr;
  const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPAT |
                                                       UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD |
                                                       UTF8PROC_STRIPMARK | UTF8PROC_LUMP);
  const utf8proc_ssize_t size =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &folded, options);
  if (size < 0) return ToLowerAscii(std::string(text));
  std::string out(reinterpret_cast<const char*>(folded), static_cast<std::size_t>(size));
  std::free(folded);
  return out;
}

const std::string& FoldMemo::operator()(const std::string& name) {
  auto [it, fresh] = folded_.try_emplace(name);
  if (fresh) it->second = FoldForSearch(name);
  return it->second;
}

void FoldedNames::AddFolded(std::string_view folded, std::size_t owner) {
  text_ += '\n';
  startAt_.push_back(static_cast<std::uint32_t>(text_.size()));
  owners_.push_back(static_cast<std::uint32_t>(owner));
  text_ += folded;
  std::replace(text_.begin() + static_cast<std::ptrdiff_t>(startAt_.back()), text_.end(), '\n',
               ' ');
}

void FoldedNames::ShrinkToFit() {
  text_.shrink_to_fit();
  startAt_.shrink_to_fit();
  owners_.shrink_to_fit();
}

std::vector<std::size_t> FoldedNames::Find(std::string_view folded) const {
  std::vector<std::size_t> found;
  if (folded.find('\n') != std::string_view::npos) return found;
  std::size_t from = 0;
  while (from < text_.size()) {
    const void* hit = folded.empty() ? text_.data() + from
                                     : memmem(text_.data() + from, text_.size() - from,
                                              folded.data(), folded.size());
    if (!hit) break;
    const std::size_t at = static_cast<const char*>(hit) - text_.data();
    // The name the match is in: the last that starts at or before it (past its '\n').
    std::size_t name = static_cast<std::size_t>(
        std::upper_bound(startAt_.begin(), startAt_.end(), at) - startAt_.begin());
    name = name == 0 ? 0 : name - 1;
    found.push_back(owners_[name]);
    // On past the rest of this owner's names.
    while (name < owners_.size() && owners_[name] == found.back()) ++name;
    if (name == owners_.size()) break;
    from = startAt_[name];
  }
  return found;
}

}  // namespace lumora::server

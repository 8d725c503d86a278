#include "settings/Settings.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "common/Text.h"

namespace lumora {
namespace {

constexpr std::string_view kTrue = "真";
constexpr std::string_view kFalse = "假";

// The field read as a decimal number cut to its whole part; leading spaces and anything after
// the number are ignored. Nothing when no number starts the field or it is out of range.
std::optional<std::int64_t> wholeNumber(std::string_view field) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  double value = 0;
  auto [end, ec] =
      std::from_chars(field.data(), field.data() + field.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  value = std::trunc(value);
  if (value < -9.0e18 || value > 9.0e18) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

void applyIndex(std::string_view field, int count, int& index) {
  if (auto n = wholeNumber(field); n && *n >= 0 && *n < count) index = static_cast<int>(*n);
}

void applyColour(std::string_view field, std::uint32_t& colour) {
  if (auto n = wholeNumber(field)) colour = static_cast<std::uint32_t>(*n) & 0xFFFFFFu;
}

}  // namespace

bool isValid(const Settings& s) {
  auto in = [](int index, int count) { return index >= 0 && index < count; };
  return in(s.preset, kPresetCount) && in(s.fontFace, kFontFaceCount) &&
         in(s.fontSize, kFontSizeCount) && in(s.gradient, kGradientCount) &&
         in(s.opacity, kOpacityCount) && s.colour1 <= 0xFFFFFF && s.colour2 <= 0xFFFFFF &&
         s.colour3 <= 0xFFFFFF;
}

std::string SettingsText(const Settings& s) {
  auto flag = [](bool on) { return std::string(on ? kTrue : kFalse); };
  return joinText(
      {flag(s.edgeHide), std::to_string(s.preset), std::to_string(s.fontFace), flag(s.bold),
       std::to_string(s.fontSize), std::to_string(s.colour1), std::to_string(s.colour2),
       std::to_string(s.colour3), std::to_string(s.gradient), std::to_string(s.opacity)},
      "|");
}

void ApplySettingsText(std::string_view text, Settings& s) {
  const std::vector<std::string> fields = splitText(text, "|");
  auto field = [&](std::size_t i) -> std::optional<std::string_view> {
    if (i >= fields.size()) return std::nullopt;
    return fields[i];
  };
  if (auto f = field(0)) s.edgeHide = *f == kTrue;
  if (auto f = field(1)) applyIndex(*f, kPresetCount, s.preset);
  if (auto f = field(2)) applyIndex(*f, kFontFaceCount, s.fontFace);
  if (auto f = field(3)) s.bold = *f == kTrue;
  if (auto f = field(4)) applyIndex(*f, kFontSizeCount, s.fontSize);
  if (auto f = field(5)) applyColour(*f, s.colour1);
  if (auto f = field(6)) applyColour(*f, s.colour2);
  if (auto f = field(7)) applyColour(*f, s.colour3);
  if (auto f = field(8)) applyIndex(*f, kGradientCount, s.gradient);
  if (auto f = field(9)) applyIndex(*f, kOpacityCount, s.opacity);
}

}  // namespace lumora

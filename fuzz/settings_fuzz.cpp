// Arbitrary bytes as a settings file, and as the text inside a well-formed one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/Settings.h"
#include "settings/SettingsCipher.h"
#include "settings/SettingsFile.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Whatever was read, every value addresses an item and writing it gives the same values back.
void ReadAndCheck(std::string_view file) {
  lumora::Settings settings;
  lumora::ApplySettingsFile(file, settings);
  Check(lumora::isValid(settings));
  lumora::Settings again;
  again.edgeHide = !settings.edgeHide;
  again.bold = !settings.bold;
  lumora::ApplySettingsText(lumora::SettingsText(settings), again);
  Check(again == settings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  ReadAndCheck(input);
  // Random bytes almost never decipher to a fitting length, so also wrap them as the text.
  const std::string file = lumora::EncipherSettings(input);
  Check(file.size() % 8 == 0);
  Check(lumora::DecipherSettings(file) == input);
  ReadAndCheck(file);
  return 0;
}

#include <gtest/gtest.h>

#include <string>

#include "settings/Settings.h"

namespace lumora {
namespace {

Settings changedEverywhere() {
  Settings s;
  s.edgeHide = false;
  s.preset = 4;
  s.fontFace = 2;
  s.bold = false;
  s.fontSize = 8;
  s.colour1 = 0xFF0090;
  s.colour2 = 0xFFA8FF;
  s.colour3 = 0x123456;
  s.gradient = 2;
  s.opacity = 11;
  return s;
}

TEST(SettingsText, DesignedValuesAndRoundTrip) {
  EXPECT_EQ(SettingsText(Settings{}), "真|1|0|真|4|14511872|16777215|0|1|2");
  const Settings changed = changedEverywhere();
  EXPECT_EQ(SettingsText(changed), "假|4|2|假|8|16711824|16754943|1193046|2|11");
  Settings back;
  ApplySettingsText(SettingsText(changed), back);
  EXPECT_EQ(back, changed);
}

// What a damaged or foreign text does to each value, starting from changedEverywhere().
TEST(SettingsText, DamagedFieldsKeepTheCurrentValue) {
  struct Case {
    const char* text;
    void (*expect)(Settings&);  // turns the starting values into the expected ones
  };
  const Case cases[] = {
      {"", [](Settings&) {}},
      {"真", [](Settings& s) { s.edgeHide = true; }},
      {"真|3", [](Settings& s) { s.edgeHide = true, s.preset = 3; }},
      {"yes|x|1.9|TRUE", [](Settings& s) { s.fontFace = 1; }},
      // Indexes one past the last item, and negative ones.
      {"假|6|3|假|13|1|2|3|3|12", [](Settings& s) { s.colour1 = 1, s.colour2 = 2, s.colour3 = 3; }},
      {"假|-1|-2|假|-3|1|2|3|-1|-1",
       [](Settings& s) { s.colour1 = 1, s.colour2 = 2, s.colour3 = 3; }},
      {"假|5|0|假|12|1|2|3|0|0",
       [](Settings& s) {
         s.preset = 5, s.fontFace = 0, s.fontSize = 12, s.gradient = 0, s.opacity = 0;
         s.colour1 = 1, s.colour2 = 2, s.colour3 = 3;
       }},
      // Colours keep their low 24 bits, whatever their sign.
      {"假|4|2|假|8|4294967295|16777216|-1",
       [](Settings& s) { s.colour1 = 0xFFFFFF, s.colour2 = 0, s.colour3 = 0xFFFFFF; }},
      {"假|4|2|假|8|99999999999999999999999|abc||2.5", [](Settings&) {}},
      {"假|4|2|假|8| 255x|7.99|0|1|3|extra|真",
       [](Settings& s) {
         s.colour1 = 255, s.colour2 = 7, s.colour3 = 0, s.gradient = 1;
         s.opacity = 3;
       }},
  };
  for (const Case& c : cases) {
    Settings actual = changedEverywhere();
    Settings expected = changedEverywhere();
    c.expect(expected);
    ApplySettingsText(c.text, actual);
    EXPECT_EQ(actual, expected) << c.text;
    EXPECT_TRUE(isValid(actual)) << c.text;
  }
}

}  // namespace
}  // namespace lumora

#include <gtest/gtest.h>

#include <vector>

#include "behaviour/Shortcuts.h"

namespace lumora {
namespace {

using K = ShortcutKey;
using A = ShortcutAction;
using Actions = std::vector<ShortcutAction>;

Actions ticks(ShortcutKeys& keys, int count) {
  Actions all;
  for (int i = 0; i < count; ++i) {
    const Actions one = keys.tick();
    all.insert(all.end(), one.begin(), one.end());
  }
  return all;
}

ShortcutKeySet keysDown(std::initializer_list<ShortcutKey> keys) {
  ShortcutKeySet down;
  for (ShortcutKey key : keys) down.set(static_cast<std::size_t>(key));
  return down;
}

TEST(ShortcutActions, HeldAndPressedCombinationsRunInTableOrder) {
  struct Case {
    const char* what;
    ShortcutKeySet down;
    ShortcutSet pressed;
    Actions expected;
  };
  const ShortcutKeySet all = keysDown({K::Ctrl, K::D, K::M, K::G, K::Left, K::Right, K::P});
  const Case cases[] = {
      {"nothing", {}, {}, {}},
      {"held switches without a new press do nothing", all, {}, {A::PlayPrevious, A::PlayNext}},
      {"all pressed at once run in order",
       all,
       ShortcutSet().set(),
       {A::DesktopLyrics, A::HideToTray, A::ClickThrough, A::PlayPrevious, A::PlayNext,
        A::PlayPause}},
      {"song keys without Ctrl", keysDown({K::Left, K::Right}), {}, {}},
      {"Ctrl alone", keysDown({K::Ctrl}), {}, {}},
      {"a press already released still runs", {}, ShortcutSet().set(2), {A::ClickThrough}},
      {"a released next-song press runs once", {}, ShortcutSet().set(4), {A::PlayNext}},
      {"held and pressed runs once",
       keysDown({K::Ctrl, K::Right}),
       ShortcutSet().set(4),
       {A::PlayNext}},
  };
  for (const Case& c : cases) EXPECT_EQ(shortcutActions(c.down, c.pressed), c.expected) << c.what;
}

TEST(ShortcutKeys, SwitchesTogetherInOneTick) {
  ShortcutKeys keys;
  keys.press(K::Ctrl);
  keys.press(K::D);
  keys.press(K::G);
  EXPECT_EQ(keys.tick(), (Actions{A::DesktopLyrics, A::ClickThrough}));
}

TEST(ShortcutKeys, NextSongRepeatsOnEveryTickWhileHeld) {
  ShortcutKeys keys;
  keys.press(K::Ctrl);
  keys.press(K::Right);
  EXPECT_EQ(ticks(keys, 5), Actions(5, A::PlayNext));
  keys.release(K::Right);
  EXPECT_EQ(keys.tick(), Actions{});
}

TEST(ShortcutKeys, PreviousSongRepeatsWhileCtrlComesLate) {
  ShortcutKeys keys;
  keys.press(K::Left);
  EXPECT_EQ(keys.tick(), Actions{});
  keys.press(K::Ctrl);
  EXPECT_EQ(ticks(keys, 3), Actions(3, A::PlayPrevious));
}

TEST(ShortcutKeys, SwitchesAndPlayPauseRunOncePerPress) {
  for (ShortcutKey key : {K::D, K::M, K::G, K::P}) {
    ShortcutKeys keys;
    keys.press(K::Ctrl);
    keys.press(key);
    // Auto-repeat presses of a key already down are no new press.
    keys.press(key);
    const Actions held = ticks(keys, 5);
    ASSERT_EQ(held.size(), 1u) << static_cast<int>(key);
    keys.release(key);
    EXPECT_EQ(keys.tick(), Actions{});
    // The next press counts again.
    keys.press(key);
    EXPECT_EQ(ticks(keys, 3), held);
  }
}

TEST(ShortcutKeys, AQuickPressBetweenTicksCountsOnce) {
  ShortcutKeys keys;
  keys.press(K::Ctrl);
  keys.press(K::G);
  keys.release(K::G);
  keys.release(K::Ctrl);
  EXPECT_EQ(keys.tick(), Actions{A::ClickThrough});
  EXPECT_EQ(keys.tick(), Actions{});

  keys.press(K::Ctrl);
  keys.press(K::Right);
  keys.release(K::Right);
  EXPECT_EQ(keys.tick(), Actions{A::PlayNext});
  EXPECT_EQ(keys.tick(), Actions{});
}

TEST(ShortcutKeys, ReleaseAndPressAgainBetweenTicksCountsAsANewPress) {
  ShortcutKeys keys;
  keys.press(K::Ctrl);
  keys.press(K::D);
  EXPECT_EQ(keys.tick(), Actions{A::DesktopLyrics});
  keys.release(K::D);
  keys.press(K::D);
  EXPECT_EQ(keys.tick(), Actions{A::DesktopLyrics});
  // Releasing Ctrl and pressing it again with D still down is a press of Ctrl+D too.
  keys.release(K::Ctrl);
  keys.press(K::Ctrl);
  EXPECT_EQ(keys.tick(), Actions{A::DesktopLyrics});
}

TEST(ShortcutKeys, LosingTheKeyboardEndsHeldKeysButKeepsPresses) {
  ShortcutKeys keys;
  keys.press(K::Ctrl);
  keys.press(K::Right);
  keys.press(K::M);
  keys.releaseAll();
  EXPECT_EQ(keys.tick(), (Actions{A::HideToTray, A::PlayNext}));
  EXPECT_EQ(ticks(keys, 3), Actions{});
  // After focus comes back, keys held across the loss are not down until pressed again.
  keys.press(K::Ctrl);
  EXPECT_EQ(keys.tick(), Actions{});
}

}  // namespace
}  // namespace lumora

#pragma once
// The main window's keyboard shortcuts: Ctrl with D, M, G, Left, Right or P, polled every
// 100 ms while a key is down or a press waits. The switches and play/pause act once per press;
// previous and next song repeat on every tick while held.
#include <array>
#include <bitset>
#include <cstddef>
#include <vector>

namespace lumora {

enum class ShortcutKey { Ctrl, D, M, G, Left, Right, P };
inline constexpr std::size_t kShortcutKeyCount = 7;

enum class ShortcutAction {
  DesktopLyrics,  // Ctrl+D
  HideToTray,     // Ctrl+M
  ClickThrough,   // Ctrl+G
  PlayPrevious,   // Ctrl+Left
  PlayNext,       // Ctrl+Right
  PlayPause,      // Ctrl+P
};

struct Shortcut {
  ShortcutKey key;
  ShortcutAction action;
  bool repeats;  // runs on every tick while held, not once per press
};

// In the order a tick runs them.
inline constexpr std::array<Shortcut, 6> kShortcuts{{
    {ShortcutKey::D, ShortcutAction::DesktopLyrics, false},
    {ShortcutKey::M, ShortcutAction::HideToTray, false},
    {ShortcutKey::G, ShortcutAction::ClickThrough, false},
    {ShortcutKey::Left, ShortcutAction::PlayPrevious, true},
    {ShortcutKey::Right, ShortcutAction::PlayNext, true},
    {ShortcutKey::P, ShortcutAction::PlayPause, false},
}};

using ShortcutKeySet = std::bitset<kShortcutKeyCount>;
// One bit per entry of kShortcuts.
using ShortcutSet = std::bitset<kShortcuts.size()>;

// The combinations held with these keys down.
ShortcutSet heldShortcuts(const ShortcutKeySet& down);

// The actions of one tick, in table order. `pressed` holds the combinations that went down
// since the previous tick, even if they are up again by now.
std::vector<ShortcutAction> shortcutActions(const ShortcutKeySet& down, const ShortcutSet& pressed);

// Which keys are down, fed from key events, and the presses latched until the next tick so a
// quick press between two ticks is not lost.
class ShortcutKeys {
 public:
  // A press of a key already down (auto-repeat) is no new press.
  void press(ShortcutKey key);
  void release(ShortcutKey key);
  // The program lost the keyboard: releases will not be seen, so nothing counts as held.
  // Presses already latched still run at the next tick.
  void releaseAll();
  // The actions due now; clears the latched presses.
  std::vector<ShortcutAction> tick();
  // No key down and no press latched: a tick can do nothing until the next press.
  bool idle() const { return down_.none() && pressed_.none(); }

 private:
  ShortcutKeySet down_;
  ShortcutSet pressed_;
};

}  // namespace lumora

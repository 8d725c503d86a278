#include "behaviour/Shortcuts.h"

namespace lumora {
namespace {

std::size_t bit(ShortcutKey key) { return static_cast<std::size_t>(key); }

}  // namespace

ShortcutSet heldShortcuts(const ShortcutKeySet& down) {
  ShortcutSet held;
  if (!down[bit(ShortcutKey::Ctrl)]) return held;
  for (std::size_t i = 0; i < kShortcuts.size(); ++i) held[i] = down[bit(kShortcuts[i].key)];
  return held;
}

std::vector<ShortcutAction> shortcutActions(const ShortcutKeySet& down,
                                            const ShortcutSet& pressed) {
  const ShortcutSet held = heldShortcuts(down);
  std::vector<ShortcutAction> actions;
  for (std::size_t i = 0; i < kShortcuts.size(); ++i) {
    const bool due = pressed[i] || (kShortcuts[i].repeats && held[i]);
    if (due) actions.push_back(kShortcuts[i].action);
  }
  return actions;
}

void ShortcutKeys::press(ShortcutKey key) {
  const ShortcutSet before = heldShortcuts(down_);
  down_.set(bit(key));
  pressed_ |= heldShortcuts(down_) & ~before;
}

void ShortcutKeys::release(ShortcutKey key) { down_.reset(bit(key)); }

void ShortcutKeys::releaseAll() { down_.reset(); }

std::vector<ShortcutAction> ShortcutKeys::tick() {
  std::vector<ShortcutAction> actions = shortcutActions(down_, pressed_);
  pressed_.reset();
  return actions;
}

}  // namespace lumora

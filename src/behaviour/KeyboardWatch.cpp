#include "behaviour/KeyboardWatch.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <optional>

namespace lumora {
namespace {

std::optional<ShortcutKey> shortcutKeyOf(int key) {
  switch (key) {
    case Qt::Key_Control:
      return ShortcutKey::Ctrl;
    case Qt::Key_D:
      return ShortcutKey::D;
    case Qt::Key_M:
      return ShortcutKey::M;
    case Qt::Key_G:
      return ShortcutKey::G;
    case Qt::Key_Left:
      return ShortcutKey::Left;
    case Qt::Key_Right:
      return ShortcutKey::Right;
    case Qt::Key_P:
      return ShortcutKey::P;
    default:
      return std::nullopt;
  }
}

}  // namespace

KeyboardWatch::KeyboardWatch(QObject* parent) : QObject(parent) {
  QCoreApplication::instance()->installEventFilter(this);
  // Once another program has the keyboard, releases go there: nothing may stay held.
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive) keys_.releaseAll();
          });
}

// One key event reaches the filter once per widget it travels through; pressing a key that is
// already down changes nothing, so that is harmless. Auto-repeat is no new press.
bool KeyboardWatch::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    const auto* keyEvent = static_cast<const QKeyEvent*>(event);
    const std::optional<ShortcutKey> key = shortcutKeyOf(keyEvent->key());
    if (key && !keyEvent->isAutoRepeat()) {
      if (type == QEvent::KeyPress) {
        keys_.press(*key);
        emit pressed();
      } else {
        keys_.release(*key);
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lumora

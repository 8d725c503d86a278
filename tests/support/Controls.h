#pragma once
// Finds a control by its designed name, as an accessibility tool or a user's eye would.
#include <QString>
#include <QWidget>

namespace lumora::test {

template <class T>
T* control(const QObject& window, const char* name) {
  return window.findChild<T*>(QString::fromUtf8(name));
}

}  // namespace lumora::test

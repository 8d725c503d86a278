#pragma once
// Window flags that change while the window is shown: always-on-top for docking and the
// mouse passing through in click-through mode.
#include <Qt>

class QWidget;

namespace lumora {

// Sets or clears one flag of a top-level window without re-creating its native window. A window
// the mouse passes through still hears the keyboard while it has the focus.
void setLiveWindowFlag(QWidget* window, Qt::WindowType flag, bool on);

}  // namespace lumora

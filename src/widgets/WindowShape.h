#pragma once
// Window shaping shared by the main window and the login window.
class QWidget;

namespace lumora {

// Cuts the window to a rounded rectangle over its current client size; the corners are quarter
// ellipses of cornerWidth × cornerHeight. Call again after a resize.
void roundWindowCorners(QWidget* window, int cornerWidth = 50, int cornerHeight = 50);

}  // namespace lumora

#pragma once
// The main window ends the program, whichever road closes it: its exit button and "退出", the
// sleep timer, the media-player Quit, or a termination signal (SIGTERM, SIGINT from Ctrl+C, SIGHUP
// when the session or the terminal ends). The destroy handler runs, the window is deleted and the
// event loop returns 0.
class QWidget;

namespace lumora {

void endProgramWithWindow(QWidget* window);

}  // namespace lumora

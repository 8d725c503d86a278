#pragma once
// Shows a main window and waits for what follows its first paint: the square's first page.
#include <QApplication>
#include <chrono>

#include "app/MainWindow.h"
#include "square/SquareWidgets.h"
#include "support/WaitFor.h"

namespace lumora::test {

// True once the server answered the first page; false when it did not within the limit.
inline bool showFace(MainWindow& window,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  window.show();
  return waitFor([&] { return window.squareWidgets()->square().answered(); }, limit,
                 [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
}

}  // namespace lumora::test

// The baseline of the whole-program benchmarks: a bare Qt Widgets program showing one 154 × 260
// frameless window, as small as the player's face, with nothing in it. Like the player it
// appends "onFaceShown" to LUMORA_TRACE_FILE once its first paint has been flushed, so start-up
// is timed to the same moment.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <string>

#include "common/Trace.h"

namespace {

class BareWindow : public QWidget {
 public:
  explicit BareWindow(std::string traceFile)
      : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), traceFile_(std::move(traceFile)) {
    resize(154, 260);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (shownTraced_) return;
    shownTraced_ = true;
    QTimer::singleShot(0, this, [this] { lumora::traceStep(traceFile_, "onFaceShown"); });
  }

 private:
  std::string traceFile_;
  bool shownTraced_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char* trace = std::getenv("LUMORA_TRACE_FILE");
  BareWindow window(trace ? trace : "");
  window.show();
  return app.exec();
}

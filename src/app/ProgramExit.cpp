#include "app/ProgramExit.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace lumora {

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the window is closed from the event loop.
void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// Closing the window runs its destroy handler, so settings and state are written as by "退出".
void closeOnTerminationSignals(QWidget* window) {
  if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
  QPointer<QWidget> target = window;
  QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
    char byte;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &byte, 1);
    if (target) target->close();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

void endProgramWithWindow(QWidget* window) {
  window->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(window, &QObject::destroyed, QCoreApplication::instance(),
                   [] { QCoreApplication::exit(0); });
  closeOnTerminationSignals(window);
}

}  // namespace lumora

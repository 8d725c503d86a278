#pragma once
// SIGTERM and SIGINT (session end, Ctrl+C in a terminal) close the main window like the exit
// button does, so the destroy handler still runs and the program ends with status 0.
class QWidget;

namespace lumora {

void closeOnTerminationSignals(QWidget* window);

}  // namespace lumora

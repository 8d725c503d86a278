#pragma once
// A line per life-cycle step appended to the file named by LUMORA_TRACE_FILE, so a test driving
// the real program can tell that start-up finished and that the destroy handler ran. The program
// stays silent when the variable is unset.
namespace lumora {

void traceStep(const char* step);

}  // namespace lumora

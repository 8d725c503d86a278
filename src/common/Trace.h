#pragma once
// A line per life-cycle step appended to the trace file (LUMORA_TRACE_FILE), so a test driving
// the real program can tell that start-up finished and that the destroy handler ran.
#include <string>

namespace lumora {

// Appends one line naming a start-up or shutdown step to `file`; nothing when it is empty.
void traceStep(const std::string& file, const char* step);

}  // namespace lumora

#include "app/Trace.h"

#include <cstdio>
#include <cstdlib>

namespace lumora {

void traceStep(const char* step) {
  const char* path = std::getenv("LUMORA_TRACE_FILE");
  if (!path || !*path) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", step);
    std::fclose(f);
  }
}

}  // namespace lumora

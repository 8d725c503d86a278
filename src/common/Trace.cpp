#include "common/Trace.h"

#include <cstdio>

namespace lumora {

void traceStep(const std::string& file, const char* step) {
  if (file.empty()) return;
  if (std::FILE* f = std::fopen(file.c_str(), "a")) {
    std::fprintf(f, "%s\n", step);
    std::fclose(f);
  }
}

}  // namespace lumora

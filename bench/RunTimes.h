#pragma once
// A console reporter that also keeps each benchmark's real time per iteration, in seconds, so
// a program can print ratios against its baseline after the table.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace lumora::bench {

class RunTimesReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With --benchmark_repetitions the median stands for the benchmark.
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if ((median || single) && !run.error_occurred) {
        seconds[run.run_name.str()] =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

}  // namespace lumora::bench

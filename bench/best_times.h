#pragma once
// Prints the usual console report and keeps the best time per iteration of every benchmark, so
// a program can end with a summary against its targets.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace zelvant::bench {

class CBestTimesReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) {
                continue;
            }
            const double t = run.real_accumulated_time / static_cast<double>(run.iterations);
            const auto [it, added] = times_.emplace(run.run_name.function_name, t);
            if (!added && t < it->second) {
                it->second = t;
            }
        }
    }

    // Seconds, or a negative number when the benchmark did not run.
    double Time(const std::string& name) const {
        const auto it = times_.find(name);
        return it == times_.end() ? -1.0 : it->second;
    }

  private:
    std::map<std::string, double> times_;
};

}  // namespace zelvant::bench

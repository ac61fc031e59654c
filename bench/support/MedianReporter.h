#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Keeps the median CPU time of each benchmark for the ratios, by name ("BM_Name", or "BM_Name/3"
// for an argument).
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name +
                        (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                    run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians; // microseconds, the unit the benchmarks report in
};

// Runs the benchmarks the command line selects, printing the usual table, and answers each one's
// median CPU time by name.
inline std::map<std::string, double> runBenchmarksForMedians(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter.medians;
}

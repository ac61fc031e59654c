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

// Reads the command line into the benchmark library, with the repetitions of the benchmarks run in
// a random interleaving unless it says otherwise: on a shared machine the load changes during a run,
// and a ratio of two medians measured minutes apart would compare different conditions.
inline void initializeInterleaved(int& argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    bool given = false;
    for (char* arg : args)
        given |= std::string(arg).starts_with("--benchmark_enable_random_interleaving");
    if (!given)
        args.insert(args.begin() + (args.empty() ? 0 : 1), interleave);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
}

// Runs the benchmarks the command line selects (interleaved, as above), printing the usual table,
// and answers each one's median CPU time by name.
inline std::map<std::string, double> runBenchmarksForMedians(int& argc, char** argv) {
    initializeInterleaved(argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter.medians;
}

#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Median wall and CPU time of one benchmark, in its own time unit.
struct BenchTimes
{
    double real = 0;
    double cpu = 0;
};

// Keeps each benchmark's median (or its only run) so that a program can print its
// figures as ratios to a baseline measured in the same run. The machine is shared, so
// single runs are noisy: benchmarks repeat and report their median.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // Keyed by the benchmark's name, with "/args" when it has arguments.
    std::map<std::string, BenchTimes> medians;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median || (run.run_type == Run::RT_Iteration && !medians.count(name)))
                medians[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
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

    // Null when the benchmark did not run, for example when a filter left it out.
    const BenchTimes *median(const std::string &name) const
    {
        const auto it = medians.find(name);
        return it == medians.end() ? nullptr : &it->second;
    }

    // "what: ours ms (cpu) against base ms (cpu); ratio wall, cpu (goal <= goal)", when both ran.
    void printRatio(const char *what, const std::string &ours, const std::string &base, const char *goal) const
    {
        const BenchTimes *o = median(ours);
        const BenchTimes *b = median(base);
        if (!o || !b)
            return;
        std::printf("%s: %.1f ms (cpu %.1f) against %.1f ms (cpu %.1f); ratio %.3f wall, %.3f cpu (goal <= %s)\n",
                    what, o->real, o->cpu, b->real, b->cpu, o->real / b->real, o->cpu / b->cpu, goal);
    }
};

#pragma once
// What the benchmarks share: a console reporter that also prints, at the end, each measured
// case as a ratio to its baseline from the same run; and a reading of the process's memory.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zavek::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Prints "name: x times faster than baseline" for each pair.
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : pairs_(std::move(pairs)) {}
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::map<std::string, double> seconds_;
};

// Resident and peak resident memory of this process, in kilobytes.
long residentKb();
long peakResidentKb();

int runAll(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs);

} // namespace zavek::bench

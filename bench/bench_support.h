#pragma once
// What the benchmarks share: a console reporter that also prints, at the end, each measured
// case as a ratio to its baseline from the same run; and a reading of the process's memory.

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zavek::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Prints, for each pair, the measured time as a multiple of the baseline's.
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : pairs_(std::move(pairs)) {}
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;
    bool sawError() const { return error_; }

private:
    bool error_ = false;
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::map<std::string, double> seconds_;
};

// Resident and peak resident memory of this process, in kilobytes.
long residentKb();
long peakResidentKb();

// True for the smoke run ctest makes (ZAVEK_BENCH_SMOKE set): every case once at a tiny size,
// so that a broken benchmark fails the tests; no figure of a smoke run means anything.
bool smoke();
// n in a measuring run, small in a smoke run.
int sized(int n, int small);

// Runs the registered benchmarks inside an application object; teardown runs before that
// object goes, so that whatever a benchmark built (threads, windows) ends while it still exists.
int runAll(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs,
           const std::function<void()>& teardown = {});

} // namespace zavek::bench

#include "bench/bench_support.h"

#include <QApplication>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace zavek::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs)
        if (run.run_type == Run::RT_Iteration && run.iterations > 0)
            seconds_[run.benchmark_name()] =
                run.real_accumulated_time / static_cast<double>(run.iterations);
        else if (run.run_type == Run::RT_Aggregate)
            seconds_[run.benchmark_name()] = run.real_accumulated_time;
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::printf("\nRatios (baseline time / measured time, same run):\n");
    for (const auto& [measured, baseline] : pairs_) {
        const auto m = seconds_.find(measured);
        const auto b = seconds_.find(baseline);
        if (m == seconds_.end() || b == seconds_.end() || m->second <= 0)
            continue;
        std::printf("  %-44s %8.1fx faster than %s\n", measured.c_str(), b->second / m->second,
                    baseline.c_str());
    }
}

namespace {
long statusField(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            std::istringstream in(line.substr(std::string(field).size()));
            long kb = 0;
            in >> kb;
            return kb;
        }
    }
    return 0;
}
} // namespace

long residentKb() {
    return statusField("VmRSS:");
}
long peakResidentKb() {
    return statusField("VmHWM:");
}

int runAll(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace zavek::bench

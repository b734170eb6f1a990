#include "bench/bench_support.h"

#include <QApplication>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace zavek::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs)
        if (run.error_occurred)
            error_ = true;
        else if (run.run_type == Run::RT_Iteration && run.iterations > 0)
            seconds_[run.benchmark_name()] =
                run.real_accumulated_time / static_cast<double>(run.iterations);
        else if (run.run_type == Run::RT_Aggregate)
            seconds_[run.benchmark_name()] = run.real_accumulated_time;
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::printf("\nRatios (measured time / baseline time, same run):\n");
    for (const auto& [measured, baseline] : pairs_) {
        const auto m = seconds_.find(measured);
        const auto b = seconds_.find(baseline);
        if (m == seconds_.end() || b == seconds_.end() || m->second <= 0)
            continue;
        std::printf("  %s\n      %.2fx the time of %s (%.1fx faster)\n", measured.c_str(),
                    m->second / b->second, baseline.c_str(), b->second / m->second);
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

bool smoke() {
    return !qEnvironmentVariableIsEmpty("ZAVEK_BENCH_SMOKE");
}

int sized(int n, int small) {
    return smoke() ? small : n;
}

int runAll(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs,
           const std::function<void()>& teardown) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // The offscreen platform says so each time a window is raised; sixty lines of it hide the
    // figures.
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith(QLatin1String("This plugin does not support")))
                previous(type, context, text);
        });
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::move(pairs));
    const std::size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
    if (teardown)
        teardown();
    benchmark::Shutdown();
    // A smoke run fails when a case aborted or none ran.
    return ran > 0 && !reporter.sawError() ? 0 : 1;
}

} // namespace zavek::bench

#include "bench/load/load_figures.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>

namespace zavek::load {

double quantile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

QString formatFigures(const std::vector<Figures>& runs) {
    using Cell = std::function<QString(const Figures&)>;
    auto number = [](auto member) {
        return Cell([member](const Figures& r) { return QString::number(r.*member); });
    };
    auto fixed = [](auto value, int decimals) {
        return Cell([value, decimals](const Figures& r) {
            return QString::number(value(r), 'f', decimals);
        });
    };
    const std::vector<std::pair<QString, Cell>> lines{
        {QString(), [](const Figures& r) { return r.database; }},
        {QStringLiteral("sessions"), number(&Figures::sessions)},
        {QStringLiteral("saves attempted"), number(&Figures::attempted)},
        {QStringLiteral("saves applied"), number(&Figures::saved)},
        {QStringLiteral("refused: concurrent save"), number(&Figures::conflicts)},
        {QStringLiteral("refused: agency rule"), number(&Figures::refused)},
        {QStringLiteral("refused: changed since opened"), number(&Figures::stale)},
        {QStringLiteral("lost updates"), number(&Figures::lostUpdates)},
        {QStringLiteral("other errors"), number(&Figures::otherFailures)},
        {QStringLiteral("retries"),
         [](const Figures& r) {
             return r.retries < 0 ? QStringLiteral("-") : QString::number(r.retries);
         }},
        {QStringLiteral("wall time (s)"), fixed([](const Figures& r) { return r.seconds; }, 2)},
        {QStringLiteral("saves per second"),
         fixed([](const Figures& r) { return r.savesPerSecond(); }, 1)},
        {QStringLiteral("median latency (ms)"),
         fixed([](const Figures& r) { return quantile(r.latenciesMs, 0.5); }, 2)},
        {QStringLiteral("p99 latency (ms)"),
         fixed([](const Figures& r) { return quantile(r.latenciesMs, 0.99); }, 2)},
        {QStringLiteral("stopped by time limit"),
         [](const Figures& r) {
             return r.timedOut ? QStringLiteral("yes") : QStringLiteral("no");
         }},
        {QStringLiteral("audit replay"),
         [](const Figures& r) {
             return r.verification.isEmpty() ? QStringLiteral("matches")
                                             : QStringLiteral("DIFFERS");
         }},
    };
    QStringList labels;
    std::vector<QStringList> columns(runs.size());
    for (const auto& [label, cell] : lines) {
        labels << label;
        for (std::size_t c = 0; c < runs.size(); ++c)
            columns[c] << cell(runs[c]);
    }
    qsizetype labelWidth = 0;
    for (const auto& l : labels)
        labelWidth = std::max(labelWidth, l.size());
    std::vector<qsizetype> widths;
    for (const auto& c : columns) {
        qsizetype w = 0;
        for (const auto& cell : c)
            w = std::max(w, cell.size());
        widths.push_back(w);
    }
    QString out;
    for (qsizetype row = 0; row < labels.size(); ++row) {
        QString line = labels[row].leftJustified(labelWidth);
        for (std::size_t c = 0; c < columns.size(); ++c)
            line += QStringLiteral("  ") + columns[c][row].rightJustified(widths[c]);
        out += line + u'\n';
    }
    for (const auto& r : runs)
        if (!r.firstOtherFailure.isEmpty())
            out +=
                r.database + QStringLiteral(", first other error: ") + r.firstOtherFailure + u'\n';
    for (const auto& r : runs)
        if (!r.verification.isEmpty())
            out += r.database + QStringLiteral(": ") + r.verification + u'\n';
    return out;
}

} // namespace zavek::load

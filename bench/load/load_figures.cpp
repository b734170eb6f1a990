#include "bench/load/load_figures.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace zavek::load {

double quantile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

QString formatFigures(const std::vector<Figures>& runs) {
    QStringList labels{QStringLiteral("sessions"),         QStringLiteral("saves attempted"),
                       QStringLiteral("saves applied"),    QStringLiteral("saves refused"),
                       QStringLiteral("retries"),          QStringLiteral("wall time (s)"),
                       QStringLiteral("saves per second"), QStringLiteral("median latency (ms)"),
                       QStringLiteral("p99 latency (ms)"), QStringLiteral("stopped by time limit"),
                       QStringLiteral("audit replay")};
    std::vector<QStringList> columns;
    for (const auto& r : runs) {
        columns.push_back(
            {r.database, QString::number(r.sessions), QString::number(r.attempted),
             QString::number(r.saved), QString::number(r.refused), QString::number(r.retries),
             QString::number(r.seconds, 'f', 2), QString::number(r.savesPerSecond(), 'f', 1),
             QString::number(quantile(r.latenciesMs, 0.5), 'f', 2),
             QString::number(quantile(r.latenciesMs, 0.99), 'f', 2),
             r.timedOut ? QStringLiteral("yes") : QStringLiteral("no"),
             r.verification.isEmpty() ? QStringLiteral("matches") : QStringLiteral("DIFFERS")});
    }
    labels.prepend(QString());
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
        if (!r.verification.isEmpty())
            out += r.database + QStringLiteral(": ") + r.verification + u'\n';
    return out;
}

} // namespace zavek::load

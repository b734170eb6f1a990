#include "admin/text_table.h"

#include <algorithm>

namespace zavek::admin {

QString formatTextTable(const QStringList& header, const std::vector<QStringList>& rows) {
    std::vector<qsizetype> widths(static_cast<std::size_t>(header.size()));
    auto measure = [&](const QStringList& cells) {
        for (qsizetype c = 0; c < header.size() && c < cells.size(); ++c)
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], cells[c].size());
    };
    measure(header);
    for (const auto& row : rows)
        measure(row);

    auto line = [&](const QStringList& cells) {
        QString text;
        for (qsizetype c = 0; c < header.size(); ++c) {
            const QString cell = c < cells.size() ? cells[c] : QString();
            const bool last = c + 1 == header.size();
            text += last ? cell : cell.leftJustified(widths[static_cast<std::size_t>(c)]);
            if (!last)
                text += QStringLiteral("  ");
        }
        return text + u'\n';
    };
    QString out = line(header);
    QStringList rule;
    for (auto w : widths)
        rule << QString(w, u'-');
    out += line(rule);
    for (const auto& row : rows)
        out += line(row);
    return out;
}

} // namespace zavek::admin

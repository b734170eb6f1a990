#include "common/officer_history.h"

#include "common/failure.h"

#include <algorithm>

namespace zavek {

QStringList historyFields() {
    using namespace history_fields;
    QStringList fields;
    for (const char* f :
         {kEntry, kTime, kAdminId, kAdminName, kAdminRegion, kAction, kCode, kDescription, kType})
        fields << QLatin1String(f);
    return fields;
}

QString HistoryEntry::changeText() const {
    QStringList parts;
    const HistoryChange* from = nullptr;
    const HistoryChange* to = nullptr;
    for (const HistoryChange& c : changes)
        if (c.agency)
            (c.added ? to : from) = &c;
    if (from && to)
        parts << QStringLiteral("Agency changed from %1 to %2")
                     .arg(from->description, to->description);
    else if (to)
        parts << QStringLiteral("Agency set to %1").arg(to->description);
    else if (from)
        parts << QStringLiteral("Agency %1 removed").arg(from->description);
    for (const HistoryChange& c : changes)
        if (!c.agency)
            parts << c.description +
                         (c.added ? QStringLiteral(" added") : QStringLiteral(" removed"));
    if (reset)
        parts << QStringLiteral("Password reset requested");
    return parts.join(QStringLiteral("; "));
}

std::vector<HistoryEntry> historyEntries(const TableData& table) {
    using namespace history_fields;
    int at[9];
    const QStringList fields = historyFields();
    for (int i = 0; i < fields.size(); ++i) {
        at[i] = table.fieldIndex(fields[i]);
        if (at[i] < 0)
            fail(codes::kNoSuchField,
                 QStringLiteral("The history sent by the back end has no field %1. Update ZAVEK "
                                "and try again.")
                     .arg(fields[i]));
    }
    const auto text = [&](const std::vector<QVariant>& row, int field) {
        return row[static_cast<std::size_t>(at[field])].toString();
    };
    std::vector<HistoryEntry> entries;
    QString current;
    for (const auto& row : table.rows) {
        const QString key = text(row, 0);
        if (entries.empty() || key != current) {
            current = key;
            HistoryEntry& e = entries.emplace_back();
            e.when = QDateTime::fromString(text(row, 1), Qt::ISODateWithMs);
            const QString name = text(row, 3);
            e.administrator =
                name.isEmpty() ? text(row, 2) : QStringLiteral("%1 (%2)").arg(name, text(row, 4));
        }
        HistoryEntry& e = entries.back();
        const QString action = text(row, 5);
        if (action == QLatin1String("RESET")) {
            e.reset = true;
            continue;
        }
        HistoryChange& c = e.changes.emplace_back();
        c.code = text(row, 6);
        c.description = text(row, 7).isEmpty() ? c.code : text(row, 7);
        c.agency = text(row, 8) == QLatin1String("A");
        c.added = action == QLatin1String("ADD");
    }
    // Rows come newest first; within one save they read in the order the save made them.
    for (HistoryEntry& e : entries)
        std::reverse(e.changes.begin(), e.changes.end());
    return entries;
}

QString historyTime(const QDateTime& when) {
    return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace zavek

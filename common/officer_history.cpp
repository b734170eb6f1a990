#include "common/officer_history.h"

#include "common/failure.h"

#include <QCoreApplication>

#include <algorithm>
#include <initializer_list>
#include <unordered_map>

namespace zavek {

namespace {
QStringList latin(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names)
        out << QLatin1String(n);
    return out;
}

// The index of each field in table, in the order given; fails when one is missing.
std::vector<std::size_t> indexes(const TableData& table, const QStringList& fields,
                                 const QString& tableName) {
    std::vector<std::size_t> at;
    for (const QString& f : fields) {
        const int i = table.fieldIndex(f);
        if (i < 0)
            fail(codes::kNoSuchField,
                 QCoreApplication::translate("zavek::OfficerHistory",
                                             "The history sent by the back end has no "
                                             "field %1 in %2. Update ZAVEK and try again.")
                     .arg(f, tableName));
        at.push_back(static_cast<std::size_t>(i));
    }
    return at;
}

struct GroupInfo {
    QString description;
    bool agency = false;
};
} // namespace

QStringList historyFields() {
    return latin({"ENTRY", "AUDIT_TIME", "ADMIN_ID", "ACTION", "GRP_CD"});
}
QStringList historyGroupFields() {
    return latin({"GRP_CD", "GRP_DES", "GRP_TYP_CD"});
}
QStringList historyAdminFields() {
    return latin({"ADMIN_ID", "ADMIN_NAME", "REGION"});
}

std::vector<HistoryEntry> historyEntries(const MessageData& reply) {
    const TableData* tables[3] = {};
    const QString* names[3] = {&kHistoryTable, &kHistoryGroupsTable, &kHistoryAdminsTable};
    for (int i = 0; i < 3; ++i)
        if (!(tables[i] = reply.table(*names[i])))
            fail(codes::kNoSuchField,
                 QCoreApplication::translate("zavek::OfficerHistory",
                                             "The reply holds no table %1. Update ZAVEK "
                                             "and try again.")
                     .arg(*names[i]));
    return historyEntries(*tables[0], *tables[1], *tables[2]);
}

std::vector<HistoryEntry> historyEntries(const HistoryTables& tables) {
    return historyEntries(tables.saves, tables.groups, tables.admins);
}

QString HistoryEntry::changeText() const {
    QStringList parts;
    const HistoryChange* from = nullptr;
    const HistoryChange* to = nullptr;
    for (const HistoryChange& c : changes)
        if (c.agency)
            (c.added ? to : from) = &c;
    if (from && to)
        parts << QCoreApplication::translate("zavek::OfficerHistory",
                                             "Agency changed from %1 to %2")
                     .arg(from->description, to->description);
    else if (to)
        parts << QCoreApplication::translate("zavek::OfficerHistory", "Agency set to %1")
                     .arg(to->description);
    else if (from)
        parts << QCoreApplication::translate("zavek::OfficerHistory", "Agency %1 removed")
                     .arg(from->description);
    for (const HistoryChange& c : changes)
        if (!c.agency)
            parts << (c.added ? QCoreApplication::translate("zavek::OfficerHistory", "%1 added")
                              : QCoreApplication::translate("zavek::OfficerHistory", "%1 removed"))
                         .arg(c.description);
    if (reset)
        parts << QCoreApplication::translate("zavek::OfficerHistory", "Password reset requested");
    return parts.join(QStringLiteral("; "));
}

std::vector<HistoryEntry> historyEntries(const TableData& saves, const TableData& groupTable,
                                         const TableData& adminTable) {
    std::unordered_map<QString, GroupInfo> groups;
    const auto g = indexes(groupTable, historyGroupFields(), kHistoryGroupsTable);
    for (const auto& row : groupTable.rows)
        groups[row[g[0]].toString()] = {row[g[1]].toString(),
                                        row[g[2]].toString() == QLatin1String("A")};
    std::unordered_map<QString, QString> admins;
    const auto a = indexes(adminTable, historyAdminFields(), kHistoryAdminsTable);
    for (const auto& row : adminTable.rows)
        admins[row[a[0]].toString()] =
            QCoreApplication::translate("zavek::OfficerHistory", "%1 (%2)",
                                        "an administrator's name and region")
                .arg(row[a[1]].toString(), row[a[2]].toString());

    const auto at = indexes(saves, historyFields(), kHistoryTable);
    std::vector<HistoryEntry> entries;
    qint64 current = 0;
    for (const auto& row : saves.rows) {
        const qint64 key = row[at[0]].toLongLong();
        if (entries.empty() || key != current) {
            current = key;
            HistoryEntry& e = entries.emplace_back();
            e.when = QDateTime::fromMSecsSinceEpoch(row[at[1]].toLongLong(), Qt::UTC);
            const QString admin = row[at[2]].toString();
            const auto known = admins.find(admin);
            e.administrator = known == admins.end() ? admin : known->second;
        }
        HistoryEntry& e = entries.back();
        const QString action = row[at[3]].toString();
        if (action == QLatin1String("RESET")) {
            e.reset = true;
            continue;
        }
        HistoryChange& c = e.changes.emplace_back();
        c.code = row[at[4]].toString();
        const auto group = groups.find(c.code);
        c.description = group == groups.end() ? c.code : group->second.description;
        c.agency = group != groups.end() && group->second.agency;
        c.added = action == QLatin1String("ADD");
    }
    // Rows come newest first; within one save they read in the order the save made them.
    for (HistoryEntry& e : entries)
        std::reverse(e.changes.begin(), e.changes.end());
    return entries;
}

QString historyTime(const QDateTime& when) {
    return when.toLocalTime().toString(
        QCoreApplication::translate("zavek::OfficerHistory", "yyyy-MM-dd HH:mm:ss",
                                    "the date and time format of a history entry"));
}

} // namespace zavek

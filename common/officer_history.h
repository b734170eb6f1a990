#pragma once
// An officer's history as the back end sends it and the screen and the operator's tool show it:
// one entry per save of one administrator, newest first.

#include "common/message.h"
#include "common/record_table.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace zavek {

// A history reply carries three tables. HISTORY: one row per audit row, newest first; ENTRY
// numbers the saves (the rows of one save share it), and the first row of each save carries
// its moment (milliseconds since the epoch, UTC) and administrator. HISTORY_GROUPS: the codes'
// descriptions and types. HISTORY_ADMINS: the administrators' names and regions. Each text is
// sent once, so that a long history stays small on the wire.
inline const QString kHistoryTable = QStringLiteral("HISTORY");
inline const QString kHistoryGroupsTable = QStringLiteral("HISTORY_GROUPS");
inline const QString kHistoryAdminsTable = QStringLiteral("HISTORY_ADMINS");
QStringList historyFields();      // ENTRY, AUDIT_TIME, ADMIN_ID, ACTION, GRP_CD
QStringList historyGroupFields(); // GRP_CD, GRP_DES, GRP_TYP_CD
QStringList historyAdminFields(); // ADMIN_ID, ADMIN_NAME, REGION

struct HistoryTables {
    TableData saves;
    TableData groups;
    TableData admins;
};

struct HistoryChange {
    QString code;
    QString description; // the code when the catalogue no longer has it
    bool agency = false;
    bool added = false;
};

struct HistoryEntry {
    QDateTime when;
    QString administrator; // "Demo Administrator (NW)"; the identifier when unknown
    std::vector<HistoryChange> changes;
    bool reset = false;

    // "Agency changed from A to B; Case File Read added; Password reset requested"
    QString changeText() const;
};

// The entries of a history, in its order. Fails when a table or field is missing.
std::vector<HistoryEntry> historyEntries(const TableData& saves, const TableData& groups,
                                         const TableData& admins);
std::vector<HistoryEntry> historyEntries(const HistoryTables& tables);
std::vector<HistoryEntry> historyEntries(const MessageData& reply);

// The moment as the history shows it, in local time.
QString historyTime(const QDateTime& when);

} // namespace zavek

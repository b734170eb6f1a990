#pragma once
// An officer's history as the back end sends it and the screen and the operator's tool show it:
// one entry per save of one administrator, newest first.

#include "common/record_table.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace zavek {

// The fields of a history reply's table, one row per audit row, newest first; the rows of one
// save share ENTRY.
namespace history_fields {
inline constexpr const char* kEntry = "ENTRY";
inline constexpr const char* kTime = "AUDIT_TIME";
inline constexpr const char* kAdminId = "ADMIN_ID";
inline constexpr const char* kAdminName = "ADMIN_NAME";
inline constexpr const char* kAdminRegion = "ADMIN_REGION";
inline constexpr const char* kAction = "ACTION";
inline constexpr const char* kCode = "GRP_CD";
inline constexpr const char* kDescription = "GRP_DES";
inline constexpr const char* kType = "GRP_TYP_CD";
} // namespace history_fields
QStringList historyFields();
inline const QString kHistoryTable = QStringLiteral("HISTORY");

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

// The entries of a history table, in its order. Fails when a field is missing.
std::vector<HistoryEntry> historyEntries(const TableData& table);

// The moment as the history shows it, in local time.
QString historyTime(const QDateTime& when);

} // namespace zavek

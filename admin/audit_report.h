#pragma once
// audit: the audit rows, oldest first, optionally of one officer and from a date on.

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace zavek::admin {

struct AuditFilter {
    QString officer;                // empty: every officer
    std::optional<QDateTime> since; // rows at or after this moment
};

struct AuditReport {
    QStringList header;
    std::vector<QStringList> rows;
};

// Reads "2026-12-01" (midnight, local time) or "2026-12-01T08:30[:00]"; nothing when neither.
std::optional<QDateTime> parseSince(const QString& text);

AuditReport readAudit(QSqlDatabase db, const AuditFilter& filter);
// The officer's saves as the screen's history shows them: When, Administrator, Change, newest
// first.
AuditReport readOfficerHistory(QSqlDatabase db, const AuditFilter& filter);

QString auditAsTable(const AuditReport& report);
QString auditAsCsv(const AuditReport& report);

} // namespace zavek::admin

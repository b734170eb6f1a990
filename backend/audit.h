#pragma once
// The audit log: one row per change an administrator or an operator made, and per failed
// sign-in and lockout, written in the same transaction as what it records.

#include "backend/sql.h"
#include "common/officer_history.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace zavek::backend {

enum class AuditAction {
    Add,              // a group or agency given to an officer
    Delete,           // taken away
    Reset,            // an officer's password reset
    SignInFailed,     // a wrong name or password, or an attempt while locked out
    LockedOut,        // too many failures: sign-in refused for a while
    LockoutLifted,    // an operator ended a lockout
    PasswordRehashed, // a stored hash renewed with today's parameters at sign-in
    AdminAdded,       // an operator added an administrator
    CatalogueImported,
    OfficersImported,
};

QString auditActionText(AuditAction action);
// Every stored action text, for the table's check.
QStringList auditActionTexts();

struct AuditEntry {
    AuditAction action;
    QString adminId; // who acted; for a failed sign-in the name that was tried
    QString officer; // empty when the row is not about an officer
    QString code;
    QString messageId;
    QString detail;
};

// revision: the officer's revision the change produced; 0 for rows about no officer's save.
void writeAudit(const Sql& sql, const QDateTime& when, const AuditEntry& entry,
                qint64 revision = 0);

// The officer's group, agency and password-reset rows, newest first, as a history reply's
// tables: the rows of one save share their entry.
HistoryTables officerHistory(const Sql& sql, const QString& officer);

} // namespace zavek::backend

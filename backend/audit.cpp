#include "backend/audit.h"

#include <array>
#include <utility>

namespace zavek::backend {

namespace {
constexpr std::array kTexts{
    std::pair{AuditAction::Add, "ADD"},
    std::pair{AuditAction::Delete, "DEL"},
    std::pair{AuditAction::Reset, "RESET"},
    std::pair{AuditAction::SignInFailed, "SIGN_IN_FAILED"},
    std::pair{AuditAction::LockedOut, "LOCKED_OUT"},
    std::pair{AuditAction::LockoutLifted, "LOCKOUT_LIFTED"},
    std::pair{AuditAction::PasswordRehashed, "PASSWORD_REHASHED"},
    std::pair{AuditAction::AdminAdded, "ADMIN_ADDED"},
    std::pair{AuditAction::CatalogueImported, "CATALOGUE_IMPORTED"},
    std::pair{AuditAction::OfficersImported, "OFFICERS_IMPORTED"},
};
} // namespace

QString auditActionText(AuditAction action) {
    for (const auto& [a, text] : kTexts)
        if (a == action)
            return QString::fromLatin1(text);
    return {};
}

QStringList auditActionTexts() {
    QStringList texts;
    for (const auto& entry : kTexts)
        texts << QString::fromLatin1(entry.second);
    return texts;
}

void writeAudit(const Sql& sql, const QDateTime& when, const AuditEntry& entry, qint64 revision) {
    QSqlQuery& insert = sql.statement(
        QStringLiteral("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, GRP_CD, ACTION, "
                       "MESSAGE_ID, DETAIL, REVISION) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    sql.run(insert,
            {storedTime(when), entry.adminId, textOrNull(entry.officer), textOrNull(entry.code),
             auditActionText(entry.action), textOrNull(entry.messageId), textOrNull(entry.detail),
             revision > 0 ? QVariant(revision) : QVariant(QMetaType(QMetaType::LongLong))});
}

} // namespace zavek::backend

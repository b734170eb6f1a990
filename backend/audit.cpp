#include "backend/audit.h"

#include "common/officer_history.h"

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

TableData officerHistory(const Sql& sql, const QString& officer) {
    TableData table;
    table.fields = historyFields();
    QSqlQuery query = sql.prepare(QStringLiteral(
        "SELECT a.REVISION, a.MESSAGE_ID, a.AUDIT_TIME, a.ADMIN_ID, d.ADMIN_NAME, d.REGION, "
        "a.ACTION, a.GRP_CD, g.GRP_DES, g.GRP_TYP_CD FROM AUDIT_LOG a JOIN OFFICER o ON o.INSP_ID "
        "= a.INSP_ID LEFT JOIN ADMINISTRATOR d ON d.ADMIN_ID = a.ADMIN_ID LEFT JOIN VRD_GROUP g ON "
        "g.REGION = o.REGION AND g.GRP_CD = a.GRP_CD WHERE a.INSP_ID = ? AND a.ACTION IN ('ADD', "
        "'DEL', 'RESET') ORDER BY a.AUDIT_ID DESC"));
    query.setForwardOnly(true);
    sql.run(query, {officer});
    while (query.next()) {
        // Rows written before saves had revisions are told apart by their save's identifier,
        // administrator and moment.
        const QString entry = query.isNull(0)
                                  ? QStringLiteral("m:%1|%2|%3")
                                        .arg(query.value(1).toString(), query.value(3).toString(),
                                             query.value(2).toString())
                                  : QStringLiteral("r:%1").arg(query.value(0).toLongLong());
        const QDateTime when = readStoredTime(query.value(2));
        table.rows.push_back({entry, when.toUTC().toString(Qt::ISODateWithMs), query.value(3),
                              query.value(4), query.value(5), query.value(6), query.value(7),
                              query.value(8), query.value(9)});
    }
    return table;
}

} // namespace zavek::backend

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

namespace {
// The stored moment in milliseconds since the epoch. The stored shape is read by hand: parsing
// ten thousand of them the general way costs more than the rest of a history.
qint64 storedMs(const QVariant& stored) {
    const QString t = stored.toString();
    static const QString shape = QStringLiteral("0000-00-00T00:00:00.000Z");
    bool plain = t.size() == shape.size();
    for (qsizetype i = 0; plain && i < t.size(); ++i)
        plain = shape[i] == QLatin1Char('0') ? t[i].isDigit() : t[i] == shape[i];
    if (!plain)
        return readStoredTime(stored).toMSecsSinceEpoch();
    const auto n = [&](qsizetype from, qsizetype count) {
        int v = 0;
        for (qsizetype i = from; i < from + count; ++i)
            v = v * 10 + t[i].digitValue();
        return v;
    };
    const QDate date(n(0, 4), n(5, 2), n(8, 2));
    const QTime time(n(11, 2), n(14, 2), n(17, 2), n(20, 3));
    return QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
}
} // namespace

HistoryTables officerHistory(const Sql& sql, const QString& officer) {
    HistoryTables tables;
    tables.saves.fields = historyFields();
    tables.groups.fields = historyGroupFields();
    tables.admins.fields = historyAdminFields();
    QSqlQuery rows = sql.prepare(QStringLiteral(
        "SELECT REVISION, MESSAGE_ID, AUDIT_TIME, ADMIN_ID, ACTION, GRP_CD FROM AUDIT_LOG WHERE "
        "INSP_ID = ? AND ACTION IN ('ADD', 'DEL', 'RESET') ORDER BY AUDIT_ID DESC"));
    rows.setForwardOnly(true);
    sql.run(rows, {officer});
    qint64 entry = 0;
    QString lastSave;
    while (rows.next()) {
        // A save is told by its revision; rows written before saves had one, by the save's
        // identifier, administrator and moment.
        const QString save = rows.isNull(0)
                                 ? QStringLiteral("m:%1|%2|%3")
                                       .arg(rows.value(1).toString(), rows.value(3).toString(),
                                            rows.value(2).toString())
                                 : QString::number(rows.value(0).toLongLong());
        const bool first = entry == 0 || save != lastSave;
        if (first) {
            ++entry;
            lastSave = save;
        }
        tables.saves.rows.push_back({entry, first ? QVariant(storedMs(rows.value(2))) : QVariant(),
                                     first ? rows.value(3) : QVariant(), rows.value(4),
                                     rows.value(5)});
    }
    QSqlQuery groups = sql.prepare(QStringLiteral(
        "SELECT g.GRP_CD, g.GRP_DES, g.GRP_TYP_CD FROM VRD_GROUP g JOIN OFFICER o ON o.REGION = "
        "g.REGION WHERE o.INSP_ID = ? AND g.GRP_CD IN (SELECT GRP_CD FROM AUDIT_LOG WHERE "
        "INSP_ID = ?)"));
    sql.run(groups, {officer, officer});
    while (groups.next())
        tables.groups.rows.push_back({groups.value(0), groups.value(1), groups.value(2)});
    QSqlQuery admins = sql.prepare(
        QStringLiteral("SELECT ADMIN_ID, ADMIN_NAME, REGION FROM ADMINISTRATOR WHERE ADMIN_ID IN "
                       "(SELECT ADMIN_ID FROM AUDIT_LOG WHERE INSP_ID = ?)"));
    sql.run(admins, {officer});
    while (admins.next())
        tables.admins.rows.push_back({admins.value(0), admins.value(1), admins.value(2)});
    return tables;
}

} // namespace zavek::backend

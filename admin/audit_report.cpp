#include "admin/audit_report.h"

#include "admin/csv.h"
#include "admin/sql.h"
#include "admin/text_table.h"
#include "backend/audit.h"
#include "backend/sql.h"
#include "common/officer_history.h"

#include <QCoreApplication>

namespace zavek::admin {

namespace {
QDateTime asDateTime(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString text = value.toString();
    QDateTime moment = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!moment.isValid())
        moment = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return moment;
}

QString display(const QVariant& value, bool isTime) {
    if (!value.isValid() || value.isNull())
        return {};
    if (isTime) {
        const QDateTime moment = asDateTime(value);
        if (moment.isValid())
            return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return value.toString();
}
} // namespace

std::optional<QDateTime> parseSince(const QString& text) {
    const QString t = text.trimmed();
    const QDate date = QDate::fromString(t, Qt::ISODate);
    if (date.isValid() && t.size() == 10)
        return date.startOfDay();
    QDateTime moment = QDateTime::fromString(t, Qt::ISODate);
    if (!moment.isValid())
        moment = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

AuditReport readAudit(QSqlDatabase db, const AuditFilter& filter) {
    AuditReport report;
    report.header = QStringList{QStringLiteral("AUDIT_ID"),   QStringLiteral("AUDIT_TIME"),
                                QStringLiteral("ADMIN_ID"),   QStringLiteral("INSP_ID"),
                                QStringLiteral("GRP_CD"),     QStringLiteral("ACTION"),
                                QStringLiteral("MESSAGE_ID"), QStringLiteral("DETAIL")};
    Sql sql(db);
    const QString columns = report.header.join(QStringLiteral(", "));
    QSqlQuery query =
        filter.officer.isEmpty()
            ? sql.run(QStringLiteral("SELECT %1 FROM AUDIT_LOG ORDER BY AUDIT_ID").arg(columns))
            : sql.run(QStringLiteral("SELECT %1 FROM AUDIT_LOG WHERE INSP_ID = ? ORDER BY "
                                     "AUDIT_ID")
                          .arg(columns),
                      {filter.officer});
    // The time is compared here rather than in SQL: the two databases store it differently.
    while (query.next()) {
        if (filter.since) {
            const QDateTime moment = asDateTime(query.value(1));
            if (moment.isValid() && moment < *filter.since)
                continue;
        }
        QStringList row;
        for (int c = 0; c < report.header.size(); ++c)
            row << display(query.value(c), c == 1);
        report.rows.push_back(row);
    }
    return report;
}

AuditReport readOfficerHistory(QSqlDatabase db, const AuditFilter& filter) {
    AuditReport report;
    report.header =
        QStringList{QCoreApplication::translate("zavek::admin::AuditReport", "When"),
                    QCoreApplication::translate("zavek::admin::AuditReport", "Administrator"),
                    QCoreApplication::translate("zavek::admin::AuditReport", "Change")};
    for (const HistoryEntry& e :
         historyEntries(backend::officerHistory(backend::Sql(db), filter.officer))) {
        if (filter.since && e.when.isValid() && e.when < *filter.since)
            continue;
        report.rows.push_back({historyTime(e.when), e.administrator, e.changeText()});
    }
    return report;
}

QString auditAsTable(const AuditReport& report) {
    return formatTextTable(report.header, report.rows);
}

QString auditAsCsv(const AuditReport& report) {
    QString out = csvLine(report.header) + QStringLiteral("\r\n");
    for (const auto& row : report.rows) {
        QStringList safe;
        for (const auto& cell : row)
            safe << spreadsheetSafe(cell);
        out += csvLine(safe) + QStringLiteral("\r\n");
    }
    return out;
}

} // namespace zavek::admin

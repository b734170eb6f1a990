#pragma once
// Requests as the screen sends them, and the stored rows the tests compare with.

#include "backend/request_processor.h"
#include "common/message.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

#include <set>
#include <utility>
#include <vector>

namespace zavek::testing {

inline constexpr std::int32_t kRetrievalType = 2;
inline constexpr std::int32_t kSaveType = 3;

using Change = std::pair<QString, QString>; // GRP_CD, "ADD" or "DEL"

inline MessageData retrievalRequest(const QString& session, const QString& officer,
                                    const QString& messageId = newMessageId()) {
    MessageData m;
    m.replyTo = QStringLiteral("test-document");
    m.clientVersion = QStringLiteral("1.0.0");
    m.messageType = kRetrievalType;
    m.sessionId = session;
    m.messageId = messageId;
    m.criteria.push_back(
        {QStringLiteral("QUILLMOR"), QStringLiteral("key:INSP_ID"), QStringLiteral("="), officer});
    return m;
}

inline MessageData saveRequest(const QString& session, const QString& officer,
                               const std::vector<Change>& changes,
                               const QString& messageId = newMessageId()) {
    MessageData m;
    m.replyTo = QStringLiteral("test-document");
    m.clientVersion = QStringLiteral("1.0.0");
    m.messageType = kSaveType;
    m.sessionId = session;
    m.messageId = messageId;
    TableData table;
    table.fields =
        QStringList{QStringLiteral("GRP_CD"), QStringLiteral("INSP_ID"), QStringLiteral("ACTION")};
    for (const auto& [code, action] : changes)
        table.rows.push_back({code, officer, action});
    m.tables.push_back({QStringLiteral("OFFICERGROUP"), table});
    return m;
}

inline std::set<QString> storedMemberships(QSqlDatabase& db, const QString& officer) {
    std::set<QString> held;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ?"));
    q.addBindValue(officer);
    q.exec();
    while (q.next())
        held.insert(q.value(0).toString());
    return held;
}

inline std::set<QString> heldInReply(const MessageData& reply) {
    std::set<QString> held;
    if (const TableData* t = reply.table(QStringLiteral("OFFICERGROUP"))) {
        const int code = t->fieldIndex(QStringLiteral("GRP_CD"));
        for (const auto& row : t->rows)
            held.insert(row[static_cast<std::size_t>(code)].toString());
    }
    return held;
}

// The codes of one type ("A" or "P") in a region, in code order.
inline QStringList catalogueCodes(QSqlDatabase& db, const QString& region, const QString& type) {
    QStringList codes;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT GRP_CD FROM VRD_GROUP WHERE REGION = ? AND GRP_TYP_CD = ? ORDER BY GRP_CD"));
    q.addBindValue(region);
    q.addBindValue(type);
    q.exec();
    while (q.next())
        codes << q.value(0).toString();
    return codes;
}

// Adds an officer of region NW who holds exactly the given codes.
inline void addOfficer(QSqlDatabase& db, const QString& officer, const QStringList& codes) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION) VALUES (?, ?, "
                             "'NW')"));
    q.addBindValue(officer);
    q.addBindValue(QStringLiteral("Test officer ") + officer);
    q.exec();
    for (const auto& code : codes) {
        QSqlQuery m(db);
        m.prepare(QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
        m.addBindValue(officer);
        m.addBindValue(code);
        m.exec();
    }
}

inline int auditRows(QSqlDatabase& db, const QString& officer, const QString& messageId) {
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("SELECT COUNT(*) FROM AUDIT_LOG WHERE INSP_ID = ? AND MESSAGE_ID = ?"));
    q.addBindValue(officer);
    q.addBindValue(messageId);
    q.exec();
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace zavek::testing

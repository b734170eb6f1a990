#include "backend/request_processor.h"

#include "backend/database.h"
#include "backend/sql.h"
#include "common/codec.h"
#include "common/failure.h"

#include <QCborMap>
#include <QCborValue>
#include <QDateTime>

#include <optional>
#include <set>

namespace zavek::backend {

namespace {

constexpr std::int32_t kRetrieval = 2;
constexpr std::int32_t kSave = 3;

struct AdminSession {
    QString adminId;
    QString region;
};

// A refusal that still concerns a known officer of the region: the reply carries the table.
struct Refusal {
    QString text;
    QString officer; // empty: say nothing about any officer
};

[[noreturn]] void refuse(QString text, QString officer = {}) {
    throw Refusal{std::move(text), std::move(officer)};
}

QString notFound(const QString& id) {
    return QStringLiteral("Officer %1 was not found in your region. Check the identifier and "
                          "search again.")
        .arg(id);
}

AdminSession checkSession(const QSqlDatabase& db, const QString& token) {
    QSqlQuery q = prepare(
        db,
        QStringLiteral("SELECT ADMIN_ID, REGION, EXPIRES_AT FROM ADMIN_SESSION WHERE TOKEN = ?"));
    run(q, {token.trimmed()});
    if (!q.next() || q.value(2).toString() <= storedTime(QDateTime::currentDateTimeUtc()))
        refuse(QStringLiteral("Your session has expired. Sign in again to continue."));
    return {q.value(0).toString(), q.value(1).toString()};
}

bool officerInRegion(const QSqlDatabase& db, const QString& id, const QString& region) {
    const QVariant r =
        scalar(db, QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?"), {id});
    return r.isValid() && r.toString() == region;
}

TableData memberships(const QSqlDatabase& db, const QString& id) {
    TableData table;
    table.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
    QSqlQuery q = prepare(
        db, QStringLiteral(
                "SELECT INSP_ID, GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ? ORDER BY GRP_CD"));
    run(q, {id});
    while (q.next())
        table.rows.push_back({q.value(0).toString(), q.value(1).toString()});
    return table;
}

QString requiredText(const TableData& table, std::size_t row, const QString& tableName,
                     const char* field) {
    const int index = table.fieldIndex(QLatin1String(field));
    if (index < 0)
        refuse(QStringLiteral("The save request is incomplete: table %1 has no field %2. Nothing "
                              "was saved; reload the officer and save again.")
                   .arg(tableName, QLatin1String(field)));
    const QVariant& v = table.rows[row][static_cast<std::size_t>(index)];
    const QString text = v.isValid() ? v.toString().trimmed() : QString();
    if (text.isEmpty())
        refuse(QStringLiteral("The save request is incomplete: row %1 of table %2 has no %3. "
                              "Nothing was saved; reload the officer and save again.")
                   .arg(row + 1)
                   .arg(tableName, QLatin1String(field)));
    return text;
}

struct Change {
    QString code;
    bool add;
};

struct SavePlan {
    QString officer;
    std::vector<Change> changes;
    bool reset = false;
};

// Checks the shape of the request; nothing here reads the database.
SavePlan readSave(const MessageData& request) {
    SavePlan plan;
    auto sameOfficer = [&](const QString& id) {
        if (plan.officer.isEmpty())
            plan.officer = id;
        else if (plan.officer != id)
            refuse(QStringLiteral("The save request names more than one officer (%1 and %2). "
                                  "Nothing was saved; select one officer and save again.")
                       .arg(plan.officer, id));
    };
    const QString groupsName = QStringLiteral("OFFICERGROUP");
    if (const TableData* groups = request.table(groupsName)) {
        for (std::size_t r = 0; r < groups->rows.size(); ++r) {
            sameOfficer(requiredText(*groups, r, groupsName, "INSP_ID"));
            const QString code = requiredText(*groups, r, groupsName, "GRP_CD");
            const QString action = requiredText(*groups, r, groupsName, "ACTION");
            if (action != QLatin1String("ADD") && action != QLatin1String("DEL"))
                refuse(QStringLiteral("The save request asks for the unknown action \"%1\" on "
                                      "group %2. Nothing was saved; reload the officer and save "
                                      "again.")
                           .arg(action, code));
            plan.changes.push_back({code, action == QLatin1String("ADD")});
        }
    }
    const QString setupName = QStringLiteral("SETUP");
    if (const TableData* setup = request.table(setupName)) {
        for (std::size_t r = 0; r < setup->rows.size(); ++r) {
            sameOfficer(requiredText(*setup, r, setupName, "INSP_ID"));
            if (requiredText(*setup, r, setupName, "INITIAL") != QLatin1String("Y") ||
                requiredText(*setup, r, setupName, "ACTION") != QLatin1String("RESET"))
                refuse(QStringLiteral("The password reset in the save request is not understood. "
                                      "Nothing was saved; tick Reset Password and save again."));
            plan.reset = true;
        }
    }
    if (plan.officer.isEmpty())
        refuse(QStringLiteral("The save request holds no changes, so nothing was saved. Change a "
                              "group or agency, or tick Reset Password, and save again."));
    return plan;
}

class Processor {
public:
    Processor(QSqlDatabase& db, const MessageData& request, MessageData& reply)
        : db_(db), request_(request), reply_(reply) {}

    void retrieve() {
        const Criteria* key = nullptr;
        for (const auto& c : request_.criteria)
            if (c.fieldName.trimmed().compare(QLatin1String("key:INSP_ID"), Qt::CaseInsensitive) ==
                0)
                key = &c;
        if (!key || key->op.trimmed() != QLatin1String("=") || key->value.trimmed().isEmpty())
            refuse(QStringLiteral("The retrieval request does not name an officer. Select an "
                                  "officer and search again."));
        const QString id = key->value.trimmed();
        if (!officerInRegion(db_, id, session_.region))
            refuse(notFound(id));
        attachTable(id);
    }

    void save() {
        const SavePlan plan = readSave(request_);
        runInTransaction(db_, [&] {
            if (!officerInRegion(db_, plan.officer, session_.region))
                refuse(notFound(plan.officer));
            knownOfficer_ = plan.officer;
            for (const Change& change : plan.changes)
                if (!scalar(
                         db_,
                         QStringLiteral("SELECT 1 FROM VRD_GROUP WHERE REGION = ? AND GRP_CD = ?"),
                         {session_.region, change.code})
                         .isValid())
                    refuse(QStringLiteral("Group %1 does not exist in region %2, so nothing was "
                                          "saved. Search the officer again and save again.")
                               .arg(change.code, session_.region),
                           plan.officer);
            for (const Change& change : plan.changes)
                apply(plan.officer, change);
            if (plan.reset)
                resetPassword(plan.officer);
            const int agencies = agencyCount(plan.officer);
            if (agencies != 1)
                refuse(QStringLiteral("An officer must belong to exactly one agency; this change "
                                      "would leave %1 with %2. Tick exactly one agency and save "
                                      "again.")
                           .arg(plan.officer,
                                agencies == 0 ? QStringLiteral("none") : QString::number(agencies)),
                       plan.officer);
        });
        attachTable(plan.officer);
    }

    void start() { session_ = checkSession(db_, request_.sessionId); }
    // The officer of the region the request concerns, once it is known.
    const QString& knownOfficer() const { return knownOfficer_; }

    void attachTable(const QString& officer) {
        reply_.tables.clear();
        reply_.tables.push_back({QStringLiteral("OFFICERGROUP"), memberships(db_, officer)});
    }

private:
    void apply(const QString& officer, const Change& change) {
        if (change.add) {
            if (scalar(
                    db_,
                    QStringLiteral("SELECT 1 FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"),
                    {officer, change.code})
                    .isValid())
                return;
            QSqlQuery insert = prepare(
                db_, QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
            run(insert, {officer, change.code});
        } else {
            QSqlQuery remove = prepare(
                db_, QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"));
            run(remove, {officer, change.code});
            if (remove.numRowsAffected() <= 0)
                return;
        }
        audit(officer, change.code, change.add ? QStringLiteral("ADD") : QStringLiteral("DEL"));
    }

    void resetPassword(const QString& officer) {
        QSqlQuery update = prepare(
            db_, QStringLiteral(
                     "UPDATE OFFICER SET PWD_HASH = NULL, MUST_CHANGE_PWD = 1 WHERE INSP_ID = ?"));
        run(update, {officer});
        audit(officer, QVariant(), QStringLiteral("RESET"));
    }

    void audit(const QString& officer, const QVariant& code, const QString& action) {
        QSqlQuery insert =
            prepare(db_, QStringLiteral("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, "
                                        "GRP_CD, ACTION, MESSAGE_ID) VALUES (?, ?, ?, ?, ?, ?)"));
        run(insert, {storedTime(QDateTime::currentDateTimeUtc()), session_.adminId, officer,
                     code.isValid() ? code : QVariant(QMetaType::fromType<QString>()), action,
                     request_.messageId});
    }

    int agencyCount(const QString& officer) {
        return scalar(db_,
                      QStringLiteral(
                          "SELECT COUNT(*) FROM OFFICER_GROUP m JOIN OFFICER o ON o.INSP_ID = "
                          "m.INSP_ID JOIN VRD_GROUP g ON g.REGION = o.REGION AND g.GRP_CD = "
                          "m.GRP_CD WHERE m.INSP_ID = ? AND g.GRP_TYP_CD = 'A'"),
                      {officer})
            .toInt();
    }

    QSqlDatabase& db_;
    const MessageData& request_;
    MessageData& reply_;
    AdminSession session_;
    QString knownOfficer_;
};

MessageData replyFor(const MessageData& request) {
    MessageData reply;
    reply.replyTo = request.replyTo;
    reply.clientVersion = request.clientVersion;
    reply.messageId = request.messageId;
    reply.messageType = request.messageType;
    reply.sessionId = request.sessionId;
    return reply;
}

} // namespace

RequestProcessor::RequestProcessor(QSqlDatabase db) : db_(std::move(db)) {}

MessageData RequestProcessor::process(const MessageData& request) {
    MessageData reply = replyFor(request);
    Processor processor(db_, request, reply);
    try {
        if (!db_.isOpen())
            refuse(QStringLiteral("The database is not open. Restart ZAVEK and try again."));
        processor.start();
        if (request.messageType == kRetrieval)
            processor.retrieve();
        else if (request.messageType == kSave)
            processor.save();
        else
            refuse(QStringLiteral("The back end does not handle requests of type %1. Nothing was "
                                  "done; update ZAVEK and try again.")
                       .arg(request.messageType));
    } catch (const Refusal& refusal) {
        reply.errorText = refusal.text;
        reply.tables.clear();
        if (!refusal.officer.isEmpty()) {
            if (auto f = attempt([&] { processor.attachTable(refusal.officer); }))
                reply.tables.clear();
        }
    } catch (const Failure& failure) {
        reply.errorText = QStringLiteral("The request could not be completed (%1). Nothing was "
                                         "saved; try again, and if it keeps failing tell your "
                                         "system administrator.")
                              .arg(failure.description());
        reply.tables.clear();
        if (!processor.knownOfficer().isEmpty() &&
            attempt([&] { processor.attachTable(processor.knownOfficer()); }))
            reply.tables.clear();
    } catch (const std::exception& e) {
        reply.errorText = QStringLiteral("The request could not be completed (%1). Nothing was "
                                         "saved; try again.")
                              .arg(QString::fromUtf8(e.what()));
        reply.tables.clear();
    }
    return reply;
}

QByteArray RequestProcessor::process(const QByteArray& request) {
    MessageData decoded;
    try {
        decoded = decodeMessage(request);
    } catch (const Failure& failure) {
        // Answer when the sender can still be told apart; otherwise there is no one to answer.
        const QCborValue root = QCborValue::fromCbor(request);
        if (!root.isMap())
            return {};
        const QCborMap map = root.toMap();
        const QCborValue replyTo = map.value(QLatin1String("replyTo"));
        const QCborValue messageId = map.value(QLatin1String("messageId"));
        if (!replyTo.isString() || !messageId.isString())
            return {};
        MessageData reply;
        reply.replyTo = replyTo.toString();
        reply.messageId = messageId.toString();
        reply.messageType =
            static_cast<std::int32_t>(map.value(QLatin1String("messageType")).toInteger(0));
        if (map.value(QLatin1String("sessionId")).isString())
            reply.sessionId = map.value(QLatin1String("sessionId")).toString();
        reply.errorText = QStringLiteral("The request could not be read (%1). Nothing was done; "
                                         "try again.")
                              .arg(failure.description());
        return encodeMessage(reply);
    }
    return encodeMessage(process(decoded));
}

} // namespace zavek::backend

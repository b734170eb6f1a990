#include "backend/request_processor.h"

#include "backend/authenticator.h"
#include "backend/database.h"
#include "common/codec.h"
#include "common/failure.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

#include <set>

namespace zavek::backend {

struct AdminSession {
    QString adminId;
    QString region;
};

namespace {

// A refusal: the request is answered with this text and nothing changes.
struct Refusal {
    QString text;
};

[[noreturn]] void refuse(const QString& text) {
    throw Refusal{text};
}

QString notFound(const QString& officer) {
    return QStringLiteral("Officer %1 was not found in your region. Check the identifier and "
                          "search again.")
        .arg(officer);
}

void run(QSqlQuery& q) {
    if (!q.exec())
        fail(codes::kDatabase, q.lastError().text());
}

struct ChangeRow {
    QString code;
    QString action;
};

QString cell(const TableData& table, const std::vector<QVariant>& row, const char* field,
             const char* tableName, std::size_t line) {
    const int index = table.fieldIndex(QString::fromLatin1(field));
    if (index < 0)
        refuse(QStringLiteral("The save request is incomplete: table %1 has no field %2. Nothing "
                              "was saved; restart the screen and try again.")
                   .arg(QLatin1String(tableName), QLatin1String(field)));
    const QVariant& v = row[static_cast<std::size_t>(index)];
    if (!v.isValid() || v.typeId() != QMetaType::QString)
        refuse(QStringLiteral("The save request is malformed: row %1 of table %2 has no text in "
                              "%3. Nothing was saved.")
                   .arg(line + 1)
                   .arg(QLatin1String(tableName), QLatin1String(field)));
    return v.toString();
}
} // namespace

RequestProcessor::RequestProcessor(QSqlDatabase db) : db_(std::move(db)) {}

QByteArray RequestProcessor::process(const QByteArray& bytes) {
    MessageData request;
    if (const auto failure = attempt([&] { request = decodeMessage(bytes); })) {
        Q_UNUSED(failure);
        return QByteArray(); // no address to answer to
    }
    return encodeMessage(process(request));
}

bool RequestProcessor::officerInRegion(const QString& officer, const QString& region) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?"));
    q.addBindValue(officer);
    run(q);
    return q.next() && q.value(0).toString() == region;
}

TableData RequestProcessor::memberships(const QString& officer) {
    TableData table;
    table.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
    QSqlQuery q(db_);
    q.prepare(QStringLiteral(
        "SELECT INSP_ID, GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ? ORDER BY GRP_CD"));
    q.addBindValue(officer);
    run(q);
    while (q.next())
        table.rows.push_back({q.value(0), q.value(1)});
    return table;
}

MessageData RequestProcessor::process(const MessageData& request) {
    MessageData reply;
    reply.replyTo = request.replyTo;
    reply.messageId = request.messageId;
    reply.messageType = request.messageType;
    reply.sessionId = request.sessionId;
    try {
        const Session session = findSession(db_, request.sessionId);
        if (session.token.isEmpty())
            refuse(QStringLiteral("Your session has expired or is not valid. Sign in again to "
                                  "continue."));
        const AdminSession admin{session.adminId, session.region};
        if (request.messageType == kRetrievalType)
            return retrieve(request, admin);
        if (request.messageType == kSaveType)
            return save(request, admin);
        refuse(QStringLiteral("The server does not know request type %1. Update the screen to a "
                              "version that matches the server.")
                   .arg(request.messageType));
    } catch (const Refusal& r) {
        reply.errorText = r.text;
    } catch (const Failure& f) {
        reply.errorText = QStringLiteral("The server could not complete the request (%1). Try "
                                         "again; if it keeps failing, tell your system "
                                         "administrator.")
                              .arg(f.description());
    } catch (const std::exception& e) {
        reply.errorText = QStringLiteral("The server could not complete the request (%1). Try "
                                         "again.")
                              .arg(QString::fromUtf8(e.what()));
    }
    return reply;
}

MessageData RequestProcessor::retrieve(const MessageData& request, const AdminSession& admin) {
    if (request.criteria.size() != 1 ||
        request.criteria[0].systemName != QLatin1String("QUILLMOR") ||
        request.criteria[0].fieldName != QLatin1String("key:INSP_ID") ||
        request.criteria[0].op != QLatin1String("=") ||
        request.criteria[0].value.trimmed().isEmpty())
        refuse(QStringLiteral("The request for an officer's groups is malformed: it must ask for "
                              "one officer identifier. Pick the officer again."));
    const QString officer = request.criteria[0].value.trimmed();
    if (!officerInRegion(officer, admin.region))
        refuse(notFound(officer));
    MessageData reply;
    reply.replyTo = request.replyTo;
    reply.messageId = request.messageId;
    reply.messageType = request.messageType;
    reply.sessionId = request.sessionId;
    reply.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), memberships(officer)});
    return reply;
}

MessageData RequestProcessor::save(const MessageData& request, const AdminSession& admin) {
    const TableData* changes = request.table(QStringLiteral("OFFICERGROUP"));
    const TableData* setup = request.table(QStringLiteral("SETUP"));
    if (!changes)
        refuse(QStringLiteral("The save request has no change table. Nothing was saved; restart "
                              "the screen and try again."));

    QString officer;
    auto sameOfficer = [&](const QString& id, const char* table) {
        const QString trimmed = id.trimmed();
        if (trimmed.isEmpty())
            refuse(QStringLiteral("The save request names no officer in table %1. Nothing was "
                                  "saved.")
                       .arg(QLatin1String(table)));
        if (officer.isEmpty())
            officer = trimmed;
        else if (officer != trimmed)
            refuse(QStringLiteral("The save request mixes officers %1 and %2. Nothing was saved; "
                                  "save one officer at a time.")
                       .arg(officer, trimmed));
    };
    std::vector<ChangeRow> rows;
    for (std::size_t i = 0; i < changes->rows.size(); ++i) {
        const auto& row = changes->rows[i];
        sameOfficer(cell(*changes, row, "INSP_ID", "OFFICERGROUP", i), "OFFICERGROUP");
        ChangeRow change{cell(*changes, row, "GRP_CD", "OFFICERGROUP", i).trimmed(),
                         cell(*changes, row, "ACTION", "OFFICERGROUP", i)};
        if (change.action != QLatin1String("ADD") && change.action != QLatin1String("DEL"))
            refuse(QStringLiteral("The save request has the unknown action \"%1\" in row %2; only "
                                  "ADD and DEL are allowed. Nothing was saved.")
                       .arg(change.action)
                       .arg(i + 1));
        rows.push_back(change);
    }
    bool reset = false;
    if (setup) {
        if (setup->rows.size() != 1)
            refuse(QStringLiteral("The password reset must be one row. Nothing was saved."));
        const auto& row = setup->rows[0];
        sameOfficer(cell(*setup, row, "INSP_ID", "SETUP", 0), "SETUP");
        if (cell(*setup, row, "INITIAL", "SETUP", 0) != QLatin1String("Y") ||
            cell(*setup, row, "ACTION", "SETUP", 0) != QLatin1String("RESET"))
            refuse(QStringLiteral("The password reset request is malformed. Nothing was saved; "
                                  "tick Reset Password again and save."));
        reset = true;
    }
    if (officer.isEmpty())
        refuse(
            QStringLiteral("The save request names no officer and no change; nothing was saved."));
    if (!officerInRegion(officer, admin.region))
        refuse(notFound(officer));

    MessageData reply;
    reply.replyTo = request.replyTo;
    reply.messageId = request.messageId;
    reply.messageType = request.messageType;
    reply.sessionId = request.sessionId;
    try {
        // Every code must be in the administrator's catalogue before anything is applied.
        std::set<QString> known;
        QSqlQuery catalogue(db_);
        catalogue.prepare(QStringLiteral("SELECT GRP_CD FROM VRD_GROUP WHERE REGION = ?"));
        catalogue.addBindValue(admin.region);
        run(catalogue);
        while (catalogue.next())
            known.insert(catalogue.value(0).toString());
        for (const auto& change : rows)
            if (!known.count(change.code))
                refuse(QStringLiteral("The group code %1 does not exist in region %2. Nothing was "
                                      "saved; reopen the screen to refresh the catalogue.")
                           .arg(change.code, admin.region));

        lastRetries_ = runInTransaction(db_, [&] {
            const QString when = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
            QSqlQuery audit(db_);
            audit.prepare(QStringLiteral("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, "
                                         "GRP_CD, ACTION, MESSAGE_ID) VALUES (?, ?, ?, ?, ?, ?)"));
            auto record = [&](const QVariant& code, const QString& action) {
                for (const QVariant& v :
                     {QVariant(when), QVariant(admin.adminId), QVariant(officer), code,
                      QVariant(action), QVariant(request.messageId)})
                    audit.addBindValue(v);
                run(audit);
            };
            QSqlQuery held(db_);
            held.prepare(
                QStringLiteral("SELECT 1 FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"));
            QSqlQuery add(db_);
            add.prepare(
                QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
            QSqlQuery del(db_);
            del.prepare(
                QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"));
            for (const auto& change : rows) {
                held.addBindValue(officer);
                held.addBindValue(change.code);
                run(held);
                const bool isHeld = held.next();
                held.finish();
                QSqlQuery& apply = change.action == QLatin1String("ADD") ? add : del;
                if (isHeld == (change.action == QLatin1String("ADD")))
                    continue; // already so: nothing changes, and nothing is audited
                apply.addBindValue(officer);
                apply.addBindValue(change.code);
                run(apply);
                record(QVariant(change.code), change.action);
            }
            if (reset) {
                QSqlQuery update(db_);
                update.prepare(QStringLiteral(
                    "UPDATE OFFICER SET PWD_HASH = NULL, MUST_CHANGE_PWD = 1 WHERE INSP_ID = ?"));
                update.addBindValue(officer);
                run(update);
                record(QVariant(), QStringLiteral("RESET"));
            }
            // The screen does not check the agency on every path; the store must never end with
            // an officer in no agency or in several.
            QSqlQuery agencies(db_);
            agencies.prepare(QStringLiteral(
                "SELECT COUNT(*) FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD IN (SELECT GRP_CD "
                "FROM VRD_GROUP WHERE REGION = ? AND GRP_TYP_CD = 'A')"));
            agencies.addBindValue(officer);
            agencies.addBindValue(admin.region);
            run(agencies);
            const int count = agencies.next() ? agencies.value(0).toInt() : 0;
            if (count != 1)
                refuse(QStringLiteral("An officer must belong to exactly one agency; this change "
                                      "would leave %1 with %2. Tick exactly one agency and save "
                                      "again.")
                           .arg(officer)
                           .arg(count));
        });
    } catch (const Refusal& r) {
        reply.errorText = r.text;
    } catch (const Failure& f) {
        reply.errorText = QStringLiteral("The save could not be completed (%1); nothing was saved. "
                                         "Try again; if it keeps failing, tell your system "
                                         "administrator.")
                              .arg(f.description());
    }
    reply.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), memberships(officer)});
    return reply;
}

} // namespace zavek::backend

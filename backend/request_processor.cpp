#include "backend/request_processor.h"

#include "backend/audit.h"
#include "backend/database.h"
#include "backend/password.h"
#include "backend/session_check.h"
#include "backend/sql.h"
#include "common/codec.h"
#include "common/failure.h"
#include "common/officer_history.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <optional>

namespace zavek::backend {

namespace {

constexpr std::int32_t kRetrieval = 2;
constexpr std::int32_t kSave = 3;
constexpr std::int32_t kHistory = 4;

// The request is refused; the text, which is the whole reply, says what the user can do.
[[noreturn]] void refuse(const QString& text) {
    fail(codes::kInvalidArgument, text, FailureKind::Refusal);
}

QString notFound(const QString& id) {
    return RequestProcessor::tr("Officer %1 was not found in your region. Check the identifier and "
                                "search again.")
        .arg(id);
}

// The identifier is the client's and lands in the audit log, so it is held to the shape the
// common library gives it.
void checkMessageId(const QString& id) {
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9._:{}-]{1,64}$"));
    if (!shape.match(id).hasMatch())
        refuse(RequestProcessor::tr("The request's message identifier is missing or malformed, so "
                                    "nothing was done. Update ZAVEK and try again."));
}

QString conflictText() {
    return RequestProcessor::tr(
        "Another administrator was saving this officer at the same moment, so "
        "nothing was saved; save again.");
}

struct StoredState {
    TableData table;
    qint64 revision = 0;
};

// The memberships and the revision they belong to, read by one statement so that both come
// from the same moment on either database.
StoredState storedState(const Sql& sql, const QString& id) {
    StoredState stored;
    stored.table.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
    QSqlQuery& q = sql.statement(
        QStringLiteral("SELECT o.REVISION, m.GRP_CD FROM OFFICER o LEFT JOIN OFFICER_GROUP m ON "
                       "m.INSP_ID = o.INSP_ID WHERE o.INSP_ID = ? ORDER BY m.GRP_CD"));
    sql.run(q, {id});
    while (q.next()) {
        stored.revision = q.value(0).toLongLong();
        if (!q.value(1).isNull())
            stored.table.rows.push_back({id, q.value(1).toString()});
    }
    q.finish();
    return stored;
}

// "14:02" today, with the date on other days.
QString shortTime(const QDateTime& when, const QDateTime& now) {
    const QDateTime local = when.toLocalTime();
    return local.date() == now.toLocalTime().date()
               ? local.toString(RequestProcessor::tr("HH:mm", "a time today"))
               : local.toString(RequestProcessor::tr("yyyy-MM-dd HH:mm", "a time on another day"));
}

QString requiredText(const TableData& table, std::size_t row, const QString& tableName,
                     const char* field) {
    const int index = table.fieldIndex(QLatin1String(field));
    if (index < 0)
        refuse(RequestProcessor::tr(
                   "The save request is incomplete: table %1 has no field %2. Nothing "
                   "was saved; reload the officer and save again.")
                   .arg(tableName, QLatin1String(field)));
    const QVariant& v = table.rows[row][static_cast<std::size_t>(index)];
    const QString text = v.isValid() ? v.toString().trimmed() : QString();
    if (text.isEmpty())
        refuse(RequestProcessor::tr("The save request is incomplete: row %1 of table %2 has no %3. "
                                    "Nothing was saved; reload the officer and save again.")
                   .arg(QString::number(row + 1), tableName, QLatin1String(field)));
    return text;
}

struct Change {
    QString code;
    bool add;
    bool agency = false; // known once the code is checked against the catalogue
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
            refuse(RequestProcessor::tr("The save request names more than one officer (%1 and %2). "
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
                refuse(
                    RequestProcessor::tr("The save request asks for the unknown action \"%1\" on "
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
                refuse(RequestProcessor::tr(
                    "The password reset in the save request is not understood. "
                    "Nothing was saved; tick Reset Password and save again."));
            plan.reset = true;
        }
    }
    if (plan.officer.isEmpty())
        refuse(RequestProcessor::tr(
            "The save request holds no changes, so nothing was saved. Change a "
            "group or agency, or tick Reset Password, and save again."));
    return plan;
}

class Processor {
public:
    Processor(const Sql& sql, const IClock& clock, const MessageData& request, MessageData& reply)
        : sql_(sql), clock_(clock), request_(request), reply_(reply) {}

    void start() {
        checkMessageId(request_.messageId);
        const auto session = SessionCheck(sql_, clock_).check(request_.sessionId);
        if (!session)
            refuse(SessionCheck::expiredText());
        session_ = *session;
    }

    void retrieve() {
        const QString id = requestedKey(RequestProcessor::tr("retrieval"));
        if (sql_.scalar(QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?"), {id})
                .toString() != session_.region)
            refuse(notFound(id));
        attachTable(id);
    }

    // Authorised as a retrieval: an officer of another region is not found.
    void history() {
        const QString id = requestedKey(RequestProcessor::tr("history"));
        if (sql_.scalar(QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?"), {id})
                .toString() != session_.region)
            refuse(notFound(id));
        HistoryTables history = officerHistory(sql_, id);
        reply_.tables.clear();
        reply_.tables.push_back({kHistoryTable, std::move(history.saves)});
        reply_.tables.push_back({kHistoryGroupsTable, std::move(history.groups)});
        reply_.tables.push_back({kHistoryAdminsTable, std::move(history.admins)});
    }

    void save() {
        SavePlan plan = readSave(request_);
        requestedOfficer_ = plan.officer;
        StoredState stored;
        runInTransaction(
            sql_,
            [&] {
                lockOfficer(plan.officer);
                knownOfficer_ = plan.officer;
                for (Change& change : plan.changes) {
                    const QVariant type = sql_.scalar(
                        QStringLiteral(
                            "SELECT GRP_TYP_CD FROM VRD_GROUP WHERE REGION = ? AND GRP_CD = ?"),
                        {session_.region, change.code});
                    if (!type.isValid())
                        refuseAbout(plan.officer, RequestProcessor::tr(
                                                      "Group %1 does not exist in region %2, so "
                                                      "nothing was saved. Search the officer again "
                                                      "and save again.")
                                                      .arg(change.code, session_.region));
                    change.agency = type.toString() == QLatin1String("A");
                }
                const qint64 current =
                    sql_.scalar(QStringLiteral("SELECT REVISION FROM OFFICER WHERE INSP_ID = ?"),
                                {plan.officer})
                        .toLongLong();
                refuseIfStale(plan, current);
                const QDateTime now = clock_.now();
                revision_ = current + 1;
                QSqlQuery advance = sql_.prepare(
                    QStringLiteral("UPDATE OFFICER SET REVISION = ? WHERE INSP_ID = ?"));
                sql_.run(advance, {revision_, plan.officer});
                for (const Change& change : plan.changes)
                    apply(plan.officer, change, now);
                if (plan.reset)
                    resetPassword(plan.officer, now);
                const int agencies = agencyCount(plan.officer);
                if (agencies != 1)
                    refuseAbout(plan.officer,
                                agencies == 0
                                    ? RequestProcessor::tr("An officer must belong to exactly one "
                                                           "agency; this change would leave %1 "
                                                           "with none. Tick exactly one agency "
                                                           "and save again.")
                                          .arg(plan.officer)
                                    : RequestProcessor::tr("An officer must belong to exactly one "
                                                           "agency; this change would leave %1 "
                                                           "with %2. Tick exactly one agency and "
                                                           "save again.")
                                          .arg(plan.officer, QString::number(agencies)));
                // Read inside the transaction: what the reply shows is what COMMIT stores, and
                // nothing can fail between a committed save and its reply.
                stored = storedState(sql_, plan.officer);
                rememberView(plan.officer, stored.revision);
            },
            Isolation::RowLocked);
        reply_.tables.clear();
        reply_.tables.push_back({QStringLiteral("OFFICERGROUP"), std::move(stored.table)});
    }

    // The officer of the region the request concerns, once it is known; after a failure of
    // the database, also the one the save named if it is of the administrator's region.
    QString knownOfficer() const {
        if (!knownOfficer_.isEmpty() || requestedOfficer_.isEmpty() || session_.region.isEmpty())
            return knownOfficer_;
        const QString region =
            sql_.scalar(QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?"),
                        {requestedOfficer_})
                .toString();
        return region == session_.region ? requestedOfficer_ : QString();
    }

    // The officer of the region a refusal concerns; empty when it concerns none.
    const QString& refusedOfficer() const { return refusedOfficer_; }

    // Every reply that shows the officer's memberships records which revision it showed, so
    // that a save under the same identifier is judged against what its screen now shows.
    void attachTable(const QString& officer) {
        reply_.tables.clear();
        StoredState stored = storedState(sql_, officer);
        reply_.tables.push_back({QStringLiteral("OFFICERGROUP"), std::move(stored.table)});
        rememberView(officer, stored.revision);
    }

private:
    // A refusal that still concerns a known officer of the region: the reply carries the table.
    [[noreturn]] void refuseAbout(const QString& officer, const QString& text) {
        refusedOfficer_ = officer;
        refuse(text);
    }

    // The officer the request's key names.
    QString requestedKey(const QString& requestName) {
        const Criteria* key = nullptr;
        for (const auto& c : request_.criteria)
            if (c.fieldName.trimmed().compare(QLatin1String("key:INSP_ID"), Qt::CaseInsensitive) ==
                0)
                key = &c;
        if (!key || key->op.trimmed() != QLatin1String("=") || key->value.trimmed().isEmpty())
            refuse(
                RequestProcessor::tr("The %1 request does not name an officer. Select an officer "
                                     "and search again.")
                    .arg(requestName));
        return key->value.trimmed();
    }

    void rememberView(const QString& officer, qint64 revision) {
        if (session_.adminId.isEmpty())
            return;
        QSqlQuery& upsert = sql_.statement(QStringLiteral(
            "INSERT INTO VIEW_REVISION (TOKEN_HASH, MESSAGE_ID, INSP_ID, REVISION, SEEN_AT) "
            "VALUES (?, ?, ?, ?, ?) ON CONFLICT (TOKEN_HASH, MESSAGE_ID) DO UPDATE SET INSP_ID = "
            "excluded.INSP_ID, REVISION = excluded.REVISION, SEEN_AT = excluded.SEEN_AT"));
        sql_.run(upsert, {tokenDigest(request_.sessionId), request_.messageId, officer, revision,
                          storedTime(clock_.now())});
    }

    // A save made on a screen that shows an older state of the officer is refused when someone
    // changed, since, a group it changes, or the agency while it changes the agency: applying
    // it would undo or contradict what the other administrator did without either knowing.
    //
    // Only saves advance the officer's revision, so when it is still the one shown nobody
    // changed anything since, and the officer's audit rows need no reading.
    void refuseIfStale(const SavePlan& plan, qint64 current) {
        const QVariant seen = sql_.scalar(
            QStringLiteral("SELECT REVISION FROM VIEW_REVISION WHERE TOKEN_HASH = ? AND "
                           "MESSAGE_ID = ? AND INSP_ID = ?"),
            {tokenDigest(request_.sessionId), request_.messageId, plan.officer});
        if (!seen.isValid() || seen.toLongLong() >= current)
            return;
        QSqlQuery since = sql_.prepare(QStringLiteral(
            "SELECT a.AUDIT_TIME, a.ADMIN_ID, d.ADMIN_NAME, d.REGION, a.GRP_CD, a.ACTION, "
            "g.GRP_DES, g.GRP_TYP_CD, a.REVISION FROM AUDIT_LOG a LEFT JOIN ADMINISTRATOR d ON "
            "d.ADMIN_ID = a.ADMIN_ID LEFT JOIN VRD_GROUP g ON g.REGION = ? AND g.GRP_CD = "
            "a.GRP_CD WHERE a.INSP_ID = ? AND a.REVISION > ? AND a.ACTION IN ('ADD', 'DEL') "
            "ORDER BY a.AUDIT_ID"));
        sql_.run(since, {session_.region, plan.officer, seen.toLongLong()});
        bool collides = false;
        QStringList who;
        struct NetChange {
            QString code;
            QString description;
            bool firstAdded;
            bool lastAdded;
        };
        std::vector<NetChange> net;
        qint64 lastRevision = -1;
        while (since.next()) {
            const QString code = since.value(4).toString();
            const bool agency = since.value(7).toString() == QLatin1String("A");
            for (const Change& change : plan.changes)
                collides = collides || change.code == code || (agency && change.agency);
            if (since.value(8).toLongLong() != lastRevision) {
                lastRevision = since.value(8).toLongLong();
                const QString name =
                    since.value(2).isNull()
                        ? since.value(1).toString()
                        : RequestProcessor::tr("%1 (%2)", "an administrator's name and region")
                              .arg(since.value(2).toString(), since.value(3).toString());
                const QString entry =
                    RequestProcessor::tr("by %1 at %2")
                        .arg(name, shortTime(readStoredTime(since.value(0)), clock_.now()));
                if (!who.contains(entry))
                    who << entry;
            }
            const bool added = since.value(5).toString() == QLatin1String("ADD");
            auto seenBefore = std::ranges::find(net, code, &NetChange::code);
            if (seenBefore == net.end())
                net.push_back({code, since.value(6).isNull() ? code : since.value(6).toString(),
                               added, added});
            else
                seenBefore->lastAdded = added;
        }
        if (!collides)
            return;
        // Each group once, as it stands now against what the screen showed: a group added
        // and removed five times reads as such, not as ten entries.
        QStringList what;
        for (const NetChange& c : net)
            what << (c.firstAdded ? (c.lastAdded ? RequestProcessor::tr("%1 added")
                                                 : RequestProcessor::tr("%1 added and removed "
                                                                        "again"))
                                  : (c.lastAdded ? RequestProcessor::tr("%1 removed and added "
                                                                        "again")
                                                 : RequestProcessor::tr("%1 removed")))
                        .arg(c.description);
        const QString officerName =
            sql_.scalar(QStringLiteral("SELECT OFFICER_NAME FROM OFFICER WHERE INSP_ID = ?"),
                        {plan.officer})
                .toString();
        refuseAbout(
            plan.officer,
            RequestProcessor::tr("Security groups of %1 were changed %2 since you opened them: "
                                 "%3. Your changes were not saved; they are ticked again on "
                                 "what is stored now: check them and save again.")
                .arg(officerName, who.join(RequestProcessor::tr(" and ")),
                     what.join(QStringLiteral(", "))));
    }

    // Every save of one officer takes this lock first, so two of them wait for each other
    // instead of colliding; saves of different officers go on side by side.
    void lockOfficer(const QString& officer) {
        const QString statement =
            isPostgres(sql_.db())
                ? QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ? FOR UPDATE")
                : QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?");
        if (sql_.scalar(statement, {officer}).toString() != session_.region)
            refuse(notFound(officer));
    }

    void apply(const QString& officer, const Change& change, const QDateTime& now) {
        if (change.add) {
            if (sql_.scalar(QStringLiteral(
                                "SELECT 1 FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"),
                            {officer, change.code})
                    .isValid())
                return;
            QSqlQuery& insert = sql_.statement(
                QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
            sql_.run(insert, {officer, change.code});
        } else {
            QSqlQuery& remove = sql_.statement(
                QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"));
            sql_.run(remove, {officer, change.code});
            if (remove.numRowsAffected() <= 0)
                return;
        }
        writeAudit(sql_, now,
                   {change.add ? AuditAction::Add : AuditAction::Delete,
                    session_.adminId,
                    officer,
                    change.code,
                    request_.messageId,
                    {}},
                   revision_);
    }

    void resetPassword(const QString& officer, const QDateTime& now) {
        QSqlQuery& update = sql_.statement(QStringLiteral(
            "UPDATE OFFICER SET PWD_HASH = NULL, MUST_CHANGE_PWD = 1 WHERE INSP_ID = ?"));
        sql_.run(update, {officer});
        writeAudit(sql_, now,
                   {AuditAction::Reset, session_.adminId, officer, {}, request_.messageId, {}},
                   revision_);
    }

    int agencyCount(const QString& officer) {
        return sql_
            .scalar(
                QStringLiteral("SELECT COUNT(*) FROM OFFICER_GROUP m JOIN OFFICER o ON o.INSP_ID = "
                               "m.INSP_ID JOIN VRD_GROUP g ON g.REGION = o.REGION AND g.GRP_CD = "
                               "m.GRP_CD WHERE m.INSP_ID = ? AND g.GRP_TYP_CD = 'A'"),
                {officer})
            .toInt();
    }

    const Sql& sql_;
    const IClock& clock_;
    const MessageData& request_;
    MessageData& reply_;
    AdminSession session_;
    QString knownOfficer_;
    QString requestedOfficer_;
    QString refusedOfficer_;
    qint64 revision_ = 0; // the one the save under way produces
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

RequestProcessor::RequestProcessor(QSqlDatabase db, const IClock& clock)
    : db_(std::move(db)), clock_(clock) {}

MessageData RequestProcessor::process(const MessageData& request) {
    MessageData reply = replyFor(request);
    const Sql sql(db_, faults_, &statements_);
    Processor processor(sql, clock_, request, reply);
    // An error reply about a known officer of the region shows what the store holds now.
    auto showStored = [&](const std::function<QString()>& officer) {
        reply.tables.clear();
        if (attempt([&] {
                if (const QString id = officer(); !id.isEmpty())
                    processor.attachTable(id);
            }))
            reply.tables.clear();
    };
    try {
        if (!db_.isOpen())
            refuse(tr("The database is not open. Restart ZAVEK and try again."));
        processor.start();
        if (request.messageType == kRetrieval)
            processor.retrieve();
        else if (request.messageType == kSave)
            processor.save();
        else if (request.messageType == kHistory)
            processor.history();
        else
            refuse(tr("The back end does not handle requests of type %1. Nothing was "
                      "done; update ZAVEK and try again.")
                       .arg(request.messageType));
    } catch (const SqlFailure& failure) {
        if (failure.isConflict())
            reply.errorText = conflictText();
        else
            reply.errorText = tr("The database could not complete the request (%1), so nothing was "
                                 "saved. Try again, and if it keeps failing tell your system "
                                 "administrator.")
                                  .arg(failure.reason().isEmpty() ? tr("no reason given")
                                                                  : failure.reason().simplified());
        showStored([&] { return processor.knownOfficer(); });
    } catch (const Failure& failure) {
        if (failure.kind() == FailureKind::Refusal) {
            reply.errorText = failure.description();
            showStored([&] { return processor.refusedOfficer(); });
        } else {
            reply.errorText = tr("The request could not be completed (%1). Nothing "
                                 "was saved; try again, and if it keeps failing tell "
                                 "your system administrator.")
                                  .arg(failure.description());
            showStored([&] { return processor.knownOfficer(); });
        }
    } catch (const std::exception& e) {
        reply.errorText = tr("The request could not be completed (%1). Nothing was "
                             "saved; try again.")
                              .arg(QString::fromUtf8(e.what()));
        reply.tables.clear();
    }
    // After any failure the connection may be broken: its statements are prepared afresh.
    if (reply.errorText.isEmpty())
        statements_.finishAll();
    else
        statements_.clear();
    return reply;
}

QByteArray RequestProcessor::process(const QByteArray& request) {
    MessageData decoded;
    MessageData readSoFar;
    try {
        decoded = decodeMessage(request, &readSoFar);
    } catch (const Failure& failure) {
        // Answer when the sender can still be told apart; otherwise there is no one to answer.
        if (readSoFar.replyTo.isEmpty() || readSoFar.messageId.isEmpty())
            return {};
        MessageData reply;
        reply.replyTo = readSoFar.replyTo;
        reply.messageId = readSoFar.messageId;
        reply.messageType = readSoFar.messageType;
        reply.sessionId = readSoFar.sessionId;
        reply.errorText = tr("The request could not be read (%1). Nothing was done; "
                             "try again.")
                              .arg(failure.description());
        return encodeMessage(reply);
    }
    return encodeMessage(process(decoded));
}

} // namespace zavek::backend

#include "bench/load/load_run.h"

#include "common/codec.h"
#include "server/network_transport.h"

#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "common/failure.h"
#include "common/message.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <chrono>
#include <latch>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace zavek::load {

namespace {

constexpr std::int32_t kRetrieval = 2;
constexpr std::int32_t kSave = 3;
const QString kRegion = QStringLiteral("NW");
const QString kAdmin = QStringLiteral("admin");
const QString kPassword = QStringLiteral("zavek-demo");

using Memberships = std::map<QString, std::set<QString>>; // INSP_ID -> GRP_CD

struct Catalogue {
    QStringList agencies;
    QStringList groups;
    QSet<QString> agencySet;
};

// The database's connection for as long as the object lives, on the thread that made it.
class Connection {
public:
    Connection(const QString& location, const QString& name) : name_(name) {
        db_ = backend::openDatabase(location, name_);
    }
    ~Connection() {
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    QSqlDatabase db() const { return db_; }

private:
    QString name_;
    QSqlDatabase db_;
};

QSqlQuery select(QSqlDatabase db, const QString& statement) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(statement))
        fail(codes::kDatabase, statement + QStringLiteral(": ") + q.lastError().text());
    return q;
}

Catalogue readCatalogue(QSqlDatabase db) {
    Catalogue c;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT GRP_TYP_CD, GRP_CD FROM VRD_GROUP WHERE REGION = ? "
                             "ORDER BY GRP_CD"));
    q.addBindValue(kRegion);
    if (!q.exec())
        fail(codes::kDatabase, q.lastError().text());
    while (q.next()) {
        const QString code = q.value(1).toString();
        if (q.value(0).toString() == u"A") {
            c.agencies << code;
            c.agencySet.insert(code);
        } else {
            c.groups << code;
        }
    }
    return c;
}

QString officerId(int i) {
    return QStringLiteral("LOAD%1").arg(i, 3, 10, QLatin1Char('0'));
}

void createPool(QSqlDatabase db, const Catalogue& catalogue, int officers) {
    for (int i = 0; i < officers; ++i) {
        QSqlQuery officer(db);
        officer.prepare(
            QStringLiteral("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION) VALUES (?, ?, ?)"));
        officer.addBindValue(officerId(i));
        officer.addBindValue(QStringLiteral("Load officer %1").arg(i));
        officer.addBindValue(kRegion);
        QSqlQuery agency(db);
        agency.prepare(QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
        agency.addBindValue(officerId(i));
        agency.addBindValue(catalogue.agencies[i % catalogue.agencies.size()]);
        if (!officer.exec() || !agency.exec())
            fail(codes::kDatabase,
                 QStringLiteral("the officer pool could not be created: %1")
                     .arg(officer.lastError().text() + agency.lastError().text()));
    }
}

Memberships readMemberships(QSqlDatabase db) {
    Memberships m;
    QSqlQuery q = select(db, QStringLiteral("SELECT INSP_ID, GRP_CD FROM OFFICER_GROUP WHERE "
                                            "INSP_ID LIKE 'LOAD%'"));
    while (q.next())
        m[q.value(0).toString()].insert(q.value(1).toString());
    return m;
}

// What the stored rows must be: the pool as created, with every audited change applied in
// the order the audit log holds them.
QString verify(QSqlDatabase db, const Memberships& initial, const Catalogue& catalogue,
               int officers, int& lostUpdates) {
    Memberships replay = initial;
    QSqlQuery audit = select(db, QStringLiteral("SELECT INSP_ID, GRP_CD, ACTION FROM AUDIT_LOG "
                                                "WHERE INSP_ID LIKE 'LOAD%' ORDER BY AUDIT_ID"));
    while (audit.next()) {
        const QString action = audit.value(2).toString().trimmed().toUpper();
        const QString officer = audit.value(0).toString();
        const QString code = audit.value(1).toString();
        if (action == u"ADD")
            replay[officer].insert(code);
        else if (action == u"DEL")
            replay[officer].erase(code);
    }
    for (auto it = replay.begin(); it != replay.end();)
        it = it->second.empty() ? replay.erase(it) : std::next(it);
    const Memberships stored = readMemberships(db);
    QStringList problems;
    lostUpdates = 0;
    for (int i = 0; i < officers; ++i) {
        const auto s = stored.find(officerId(i));
        const auto r = replay.find(officerId(i));
        const bool same = (s == stored.end()) == (r == replay.end()) &&
                          (s == stored.end() || s->second == r->second);
        lostUpdates += same ? 0 : 1;
    }
    if (stored != replay)
        problems << QStringLiteral("the stored memberships differ from the replayed audit log");
    QSqlQuery duplicates =
        select(db, QStringLiteral("SELECT INSP_ID, GRP_CD FROM OFFICER_GROUP WHERE INSP_ID LIKE "
                                  "'LOAD%' GROUP BY INSP_ID, GRP_CD HAVING COUNT(*) > 1"));
    if (duplicates.next())
        problems << QStringLiteral("officer %1 holds %2 more than once")
                        .arg(duplicates.value(0).toString(), duplicates.value(1).toString());
    for (int i = 0; i < officers; ++i) {
        int agencies = 0;
        const auto held = stored.find(officerId(i));
        if (held != stored.end())
            for (const auto& code : held->second)
                agencies += catalogue.agencySet.contains(code) ? 1 : 0;
        if (agencies != 1)
            problems
                << QStringLiteral("officer %1 has %2 agencies").arg(officerId(i)).arg(agencies);
    }
    return problems.join(QStringLiteral("; "));
}

// Transactions the server rolled back in this database so far. A server process adds its
// figures when its session ends, so the count is read until it stays the same.
long long serverRollbacks(QSqlDatabase db) {
    long long last = -1;
    for (int i = 0; i < 20; ++i) {
        QSqlQuery q = select(db, QStringLiteral("SELECT xact_rollback FROM pg_stat_database "
                                                "WHERE datname = current_database()"));
        const long long now = q.next() ? q.value(0).toLongLong() : 0;
        if (now == last)
            return now;
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return last;
}

MessageData request(std::int32_t type, const QString& session, const QString& messageId) {
    MessageData m;
    m.replyTo = QStringLiteral("zavek-load");
    m.clientVersion = QStringLiteral("1.0.0");
    m.messageType = type;
    m.sessionId = session;
    m.messageId = messageId;
    return m;
}

std::set<QString> heldIn(const MessageData& reply, const QString& officer) {
    std::set<QString> held;
    const TableData* table = reply.table(QStringLiteral("OFFICERGROUP"));
    if (!table)
        return held;
    const int inspId = table->fieldIndex(QStringLiteral("INSP_ID"));
    const int code = table->fieldIndex(QStringLiteral("GRP_CD"));
    for (const auto& row : table->rows)
        if (inspId >= 0 && code >= 0 &&
            row[static_cast<std::size_t>(inspId)].toString().trimmed() == officer)
            held.insert(row[static_cast<std::size_t>(code)].toString());
    return held;
}

struct SessionResult {
    int attempted = 0;
    int saved = 0;
    int refused = 0;
    int conflicts = 0;
    int stale = 0;
    int otherFailures = 0;
    QString firstOther;
    std::vector<double> latenciesMs;
    QString failure;
};

// One administrator: looks an officer up as the screen does, then saves a random change.
void runSession(int index, const QString& location, const QString& session,
                const Catalogue& catalogue, const LoadOptions& options, std::latch& start,
                const std::atomic<bool>& stop, SessionResult& result) {
    try {
        Connection connection(location, QStringLiteral("load-session-%1").arg(index));
        backend::RequestProcessor processor(connection.db());
        std::unique_ptr<net::NetworkTransport> network;
        if (options.serverPort != 0) {
            network = std::make_unique<net::NetworkTransport>(net::ServerAddress{
                QStringLiteral("127.0.0.1"), options.serverPort, options.caFile, 200});
            QString why;
            if (!network->waitConnected(10000, &why))
                fail(codes::kNotConnected, why);
        }
        auto answer = [&](const MessageData& message) {
            return network ? decodeMessage(network->call(encodeMessage(message), 60000))
                           : processor.process(message);
        };
        std::mt19937 random(options.seed + static_cast<unsigned>(index));
        auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
        start.arrive_and_wait();
        for (int i = 0; i < options.savesPerSession && !stop.load(); ++i) {
            const QString officer = officerId(pick(options.officers));
            const QString messageId = newMessageId();
            MessageData retrieval = request(kRetrieval, session, messageId);
            retrieval.criteria.push_back({QStringLiteral("QUILLMOR"), QStringLiteral("key:INSP_ID"),
                                          QStringLiteral("="), officer});
            const MessageData shown = answer(retrieval);
            const std::set<QString> held = heldIn(shown, officer);

            TableData changes;
            changes.fields = QStringList{QStringLiteral("GRP_CD"), QStringLiteral("INSP_ID"),
                                         QStringLiteral("ACTION")};
            auto change = [&](const QString& code, bool add) {
                changes.rows.push_back(
                    {code, officer, add ? QStringLiteral("ADD") : QStringLiteral("DEL")});
            };
            const int toggles = 1 + pick(3);
            std::set<QString> touched;
            for (int t = 0; t < toggles; ++t) {
                const QString code = catalogue.groups[pick(catalogue.groups.size())];
                if (touched.insert(code).second)
                    change(code, !held.contains(code));
            }
            if (pick(4) == 0) {
                const QString agency = catalogue.agencies[pick(catalogue.agencies.size())];
                if (!held.contains(agency)) {
                    for (const auto& code : held)
                        if (catalogue.agencySet.contains(code))
                            change(code, false);
                    change(agency, true);
                }
            }
            MessageData save = request(kSave, session, messageId);
            save.tables.push_back({QStringLiteral("OFFICERGROUP"), changes});

            QElapsedTimer timer;
            timer.start();
            const MessageData reply = answer(save);
            result.latenciesMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            ++result.attempted;
            if (reply.errorText.isEmpty()) {
                ++result.saved;
            } else if (reply.errorText.contains(QLatin1String("exactly one agency"))) {
                ++result.refused;
            } else if (reply.errorText.startsWith(
                           QLatin1String("Another administrator was saving this officer")) ||
                       reply.errorText.contains(QLatin1String("serializ"), Qt::CaseInsensitive) ||
                       reply.errorText.contains(QLatin1String("locked"), Qt::CaseInsensitive)) {
                ++result.conflicts;
            } else if (reply.errorText.contains(QLatin1String("since you opened them"))) {
                ++result.stale;
            } else {
                ++result.otherFailures;
                if (result.firstOther.isEmpty())
                    result.firstOther = reply.errorText;
            }
        }
    } catch (const std::exception& e) {
        result.failure = QString::fromUtf8(e.what());
    }
}

} // namespace

Figures runLoad(const QString& label, const QString& location, const LoadOptions& options) {
    Figures figures;
    figures.database = label;
    figures.sessions = options.sessions;
    Connection setup(location, QStringLiteral("load-setup"));
    QSqlDatabase db = setup.db();
    backend::migrate(db);
    backend::seedDemoData(db);
    const Catalogue catalogue = readCatalogue(db);
    if (catalogue.agencies.size() < 2 || catalogue.groups.isEmpty())
        fail(codes::kDatabase, QStringLiteral("the demonstration catalogue of region NW is too "
                                              "small for the load"));
    createPool(db, catalogue, options.officers);
    const Memberships initial = readMemberships(db);

    backend::Authenticator authenticator(db);
    std::vector<QString> sessions;
    for (int i = 0; i < options.sessions; ++i)
        sessions.push_back(authenticator.signIn(kAdmin, kPassword).token);

    const bool postgres = backend::isPostgres(db);
    const long long rollbacksBefore = postgres ? serverRollbacks(db) : 0;
    std::vector<SessionResult> results(static_cast<std::size_t>(options.sessions));
    std::latch start(options.sessions + 1);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < options.sessions; ++i)
        threads.emplace_back(runSession, i, location, sessions[static_cast<std::size_t>(i)],
                             std::cref(catalogue), std::cref(options), std::ref(start),
                             std::cref(stop), std::ref(results[static_cast<std::size_t>(i)]));
    QElapsedTimer wall;
    start.arrive_and_wait();
    wall.start();
    std::thread watchdog([&] {
        while (!stop.load()) {
            if (wall.elapsed() > options.timeLimitSeconds * 1000LL) {
                figures.timedOut = true;
                stop.store(true);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    for (auto& t : threads)
        t.join();
    figures.seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    stop.store(true);
    watchdog.join();

    QStringList failures;
    for (auto& r : results) {
        figures.attempted += r.attempted;
        figures.saved += r.saved;
        figures.refused += r.refused;
        figures.conflicts += r.conflicts;
        figures.stale += r.stale;
        figures.otherFailures += r.otherFailures;
        if (!r.firstOther.isEmpty() && figures.firstOtherFailure.isEmpty())
            figures.firstOtherFailure = r.firstOther;
        figures.latenciesMs.insert(figures.latenciesMs.end(), r.latenciesMs.begin(),
                                   r.latenciesMs.end());
        if (!r.failure.isEmpty())
            failures << r.failure;
    }
    // Every rolled-back attempt is a retry except the last of a save that was refused or given
    // up. SQLite writers wait for the write lock instead, so there is nothing to count there.
    figures.retries = postgres
                          ? static_cast<int>(serverRollbacks(db) - rollbacksBefore -
                                             figures.refused - figures.conflicts - figures.stale)
                          : -1;
    figures.verification = verify(db, initial, catalogue, options.officers, figures.lostUpdates);
    if (!failures.isEmpty())
        figures.verification += QStringLiteral(" a session failed: ") + failures.front();
    return figures;
}

} // namespace zavek::load

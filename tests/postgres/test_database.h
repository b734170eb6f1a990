#pragma once
// An empty database of either kind for a test, a connection to it that closes itself, and
// requests as the screen sends them with the stored rows the tests compare them with.

#include "backend/clock.h"
#include "common/message.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <set>

namespace zavek::testing {

enum class Engine { Sqlite, Postgres };
inline const char* engineName(Engine engine) {
    return engine == Engine::Sqlite ? "SQLite" : "PostgreSQL";
}
#define ZAVEK_BOTH_DATABASES(suite)                                                                \
    INSTANTIATE_TEST_SUITE_P(BothDatabases, suite,                                                 \
                             ::testing::Values(Engine::Sqlite, Engine::Postgres),                  \
                             [](const auto& info) { return std::string(engineName(info.param)); })

// Runs one statement on the server that scripts/with-postgres.sh provides in ZAVEK_TEST_POSTGRES;
// returns the error text, empty when none.
QString onPostgresServer(const QString& statement);

// A PostgreSQL database is one of its own on that server, dropped with the object, so that test
// binaries running at once never see each other's rows.
struct TestDatabase {
    explicit TestDatabase(Engine engine);
    ~TestDatabase();
    QString location() const { return location_; }
    bool skipped_ = false; // PostgreSQL without a server
    // error_: empty when the database is there
    QTemporaryDir dir_;
    QString name_, location_, error_;
};

// backend::openDatabase under a fresh connection name; closed and removed with the object.
struct Connection {
    explicit Connection(const QString& location);
    ~Connection();
    QSqlDatabase& db() { return db_; }
    QString name() const { return name_; }
    QString name_;
    QSqlDatabase db_;
};

using Change = std::pair<QString, QString>; // GRP_CD, "ADD" or "DEL"
MessageData retrievalRequest(const QString& session, const QString& officer,
                             const QString& messageId = newMessageId());
// reset: with the officer's password reset as well.
MessageData saveRequest(const QString& session, const QString& officer,
                        const std::vector<Change>& changes,
                        const QString& messageId = newMessageId(), bool reset = false);
// Migrates and seeds the demo data unless there are officers, and signs the demo administrator
// in.
QString seededSession(QSqlDatabase& db, const backend::IClock& clock = backend::systemClock());
std::set<QString> storedMemberships(QSqlDatabase& db, const QString& officer);
std::set<QString> heldInReply(const MessageData& reply);
// The codes of one type ("A" or "P") of region NW, in code order.
QStringList catalogueCodes(QSqlDatabase& db, const QString& type);
// The first column of each row the statement gives, as text.
QStringList column(QSqlDatabase& db, const QString& sql,
                   std::initializer_list<QVariant> values = {});
// Adds an officer of region NW, with the password hash "h", who holds exactly the given codes.
void addOfficer(QSqlDatabase& db, const QString& officer, const QStringList& codes);

} // namespace zavek::testing

#define ZAVEK_REQUIRE_DATABASE(database)                                                           \
    do {                                                                                           \
        if ((database).skipped_)                                                                   \
            GTEST_SKIP() << "ZAVEK_TEST_POSTGRES is not set; run the tests through "               \
                            "scripts/with-postgres.sh (./zavek test does) to include PostgreSQL";  \
        ASSERT_TRUE((database).error_.isEmpty()) << (database).error_.toStdString();               \
    } while (false)

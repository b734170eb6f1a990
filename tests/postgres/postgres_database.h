#pragma once
#include <QString>

namespace zavek::testing {

// The URL of the throwaway server's database that scripts/with-postgres.sh provides in
// ZAVEK_TEST_POSTGRES; empty when no server was given.
QString postgresServerUrl();

// Runs one statement on the server's own database; returns the error text, empty when none.
QString onPostgresServer(const QString& statement);

// A database of its own on that server, created empty and dropped with the object, so that
// tests (and test binaries running at once) never see each other's rows.
class PostgresDatabase {
public:
    PostgresDatabase();
    ~PostgresDatabase();
    PostgresDatabase(const PostgresDatabase&) = delete;
    PostgresDatabase& operator=(const PostgresDatabase&) = delete;

    bool created() const { return !url_.isEmpty(); }
    QString error() const { return error_; }
    // postgresql://user@host:port/name of the new database
    QString url() const { return url_; }

private:
    QString name_;
    QString url_;
    QString error_;
};

} // namespace zavek::testing

// Skips the test when no server was given; fails it when the database cannot be created.
#define ZAVEK_REQUIRE_POSTGRES(database)                                                           \
    do {                                                                                           \
        if (::zavek::testing::postgresServerUrl().isEmpty())                                       \
            GTEST_SKIP() << "ZAVEK_TEST_POSTGRES is not set; run the tests through "               \
                            "scripts/with-postgres.sh (./zavek test does) to include PostgreSQL";  \
        ASSERT_TRUE((database).created()) << (database).error().toStdString();                     \
    } while (false)

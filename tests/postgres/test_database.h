#pragma once
// An empty database of either kind for a test, and a connection to it that closes itself.

#include "tests/postgres/postgres_database.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace zavek::testing {

enum class Engine { Sqlite, Postgres };

const char* engineName(Engine engine);

class TestDatabase {
public:
    explicit TestDatabase(Engine engine);
    // Empty when the database is there; otherwise why the test cannot run.
    QString unavailable() const;
    bool skipped() const; // a PostgreSQL test without a server
    QString location() const { return location_; }

private:
    Engine engine_;
    QTemporaryDir dir_;
    std::unique_ptr<PostgresDatabase> postgres_;
    QString location_;
};

// backend::openDatabase under a fresh connection name; closed and removed with the object.
class Connection {
public:
    explicit Connection(const QString& location);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    QSqlDatabase& db() { return db_; }
    QString name() const { return name_; }

private:
    QString name_;
    QSqlDatabase db_;
};

} // namespace zavek::testing

#define ZAVEK_REQUIRE_DATABASE(database)                                                           \
    do {                                                                                           \
        if ((database).skipped())                                                                  \
            GTEST_SKIP() << "ZAVEK_TEST_POSTGRES is not set; run the tests through "               \
                            "scripts/with-postgres.sh (./zavek test does) to include PostgreSQL";  \
        ASSERT_TRUE((database).unavailable().isEmpty()) << (database).unavailable().toStdString(); \
    } while (false)

#include "tests/postgres/test_database.h"

#include "backend/database.h"

#include <QUuid>

namespace zavek::testing {

const char* engineName(Engine engine) {
    return engine == Engine::Sqlite ? "SQLite" : "PostgreSQL";
}

TestDatabase::TestDatabase(Engine engine) : engine_(engine) {
    if (engine == Engine::Sqlite) {
        location_ = dir_.filePath(QStringLiteral("test.sqlite"));
        return;
    }
    if (postgresServerUrl().isEmpty())
        return;
    postgres_ = std::make_unique<PostgresDatabase>();
    location_ = postgres_->url();
}

bool TestDatabase::skipped() const {
    return engine_ == Engine::Postgres && postgresServerUrl().isEmpty();
}

QString TestDatabase::unavailable() const {
    if (engine_ == Engine::Sqlite)
        return dir_.isValid() ? QString() : QStringLiteral("no temporary directory");
    if (!postgres_)
        return QStringLiteral("no PostgreSQL server");
    return postgres_->created() ? QString() : postgres_->error();
}

Connection::Connection(const QString& location)
    : name_(QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    db_ = backend::openDatabase(location, name_);
}

Connection::~Connection() {
    db_ = QSqlDatabase();
    backend::closeDatabase(name_);
}

} // namespace zavek::testing

#include "tests/support/temp_database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

namespace zavek::testing {

TempDatabase::TempDatabase()
    : name_(QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(dir_.filePath(QStringLiteral("test.sqlite")));
    if (!db.open())
        ADD_FAILURE() << "cannot open the test database: " << db.lastError().text().toStdString();
}

TempDatabase::~TempDatabase() {
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
}

void TempDatabase::exec(const QStringList& statements) const {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    for (const auto& s : statements)
        EXPECT_TRUE(q.exec(s)) << s.toStdString() << ": " << q.lastError().text().toStdString();
}

} // namespace zavek::testing

#include "tests/support/temp_database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

namespace zavek::testing {

TempDatabase::TempDatabase()
    : name_(QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      path_(dir_.filePath(QStringLiteral("test.sqlite"))) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path_);
    if (!db.open())
        ADD_FAILURE() << "cannot open " << path_.toStdString() << ": "
                      << db.lastError().text().toStdString();
}

TempDatabase::~TempDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase TempDatabase::db() const {
    return QSqlDatabase::database(name_, false);
}

void TempDatabase::exec(const QStringList& statements) const {
    QSqlQuery q(db());
    for (const auto& s : statements)
        EXPECT_TRUE(q.exec(s)) << s.toStdString() << ": " << q.lastError().text().toStdString();
}

} // namespace zavek::testing

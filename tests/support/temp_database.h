#pragma once
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

namespace zavek::testing {

// An SQLite file in a temporary directory, open under its own connection name and removed
// with the object.
class TempDatabase {
public:
    TempDatabase() {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(dir_.filePath(QStringLiteral("test.sqlite")));
        if (!db.open())
            ADD_FAILURE() << "cannot open the test database: "
                          << db.lastError().text().toStdString();
    }
    ~TempDatabase() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    QString connectionName() const { return name_; }
    // Runs each statement; fails the test on an error.
    void exec(const QStringList& statements) const {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        for (const auto& s : statements)
            EXPECT_TRUE(q.exec(s)) << s.toStdString() << ": " << q.lastError().text().toStdString();
    }

private:
    QTemporaryDir dir_;
    QString name_ = QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
};

} // namespace zavek::testing

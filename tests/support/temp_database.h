#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

namespace zavek::testing {

// An SQLite file in a temporary directory, open under its own connection name and removed
// with the object.
class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();
    QString connectionName() const { return name_; }
    // Runs each statement; fails the test on an error.
    void exec(const QStringList& statements) const;

private:
    QTemporaryDir dir_;
    QString name_;
};

} // namespace zavek::testing

#pragma once
// Bringing the shell up: options, the database, sign-in and the session.

#include <QString>

#include <optional>

namespace zavek::shell {

struct Options {
    QString database;
    QString screenshot;
    int timeoutMs = 30000;
    bool help = false;
    QString error; // a usage error, for the command line
};

Options parseOptions(const QStringList& arguments);
QString usage();

// Opens, upgrades and (on first use) fills the database on the UI thread's connection;
// fails with one sentence saying what to fix.
void prepareDatabase(const QString& location, const QString& connection, bool showProgress);

inline constexpr const char* kUiConnection = "zavek-ui";

} // namespace zavek::shell

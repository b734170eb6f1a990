#pragma once
// Bringing the shell up: options, the database, sign-in and the session.

#include "backend/authenticator.h"

#include <QString>

#include <optional>

namespace zavek::shell {

struct Options {
    QString database;
    QString server; // HOST:PORT of a zavek-server; empty: the back end runs in this process
    QString ca;     // the certificate authority the server's certificate is checked against
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

// Sign-in and sign-out through the server, for a shell that holds no database connection.
backend::Session signInThroughServer(const QString& adminId, const QString& password);
void signOutThroughServer();

inline constexpr const char* kUiConnection = "zavek-ui";

} // namespace zavek::shell

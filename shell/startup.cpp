#include "shell/startup.h"

#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/schema.h"
#include "common/failure.h"
#include "common/transport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProgressDialog>
#include <QStringList>

#include <memory>

namespace zavek::shell {

QString usage() {
    return QCoreApplication::translate(
        "zavek::shell::Startup",
        "usage: zavek-shell [--database LOCATION | --server HOST:PORT [--ca FILE]]\n"
        "                   [--timeout-ms N] [--screenshot FILE]\n"
        "  --database LOCATION  an SQLite file, or postgresql://user@host:port/dbname\n"
        "                       (default: $ZAVEK_DATABASE, else the embedded demo database)\n"
        "  --server HOST:PORT   use the zavek-server there instead of a database of its own\n"
        "                       (default: $ZAVEK_SERVER)\n"
        "  --ca FILE            trust the server's certificate if this authority signed it\n"
        "                       (default: $ZAVEK_CA, else the system's authorities)\n"
        "  --timeout-ms N       how long a request may go unanswered (default 30000)\n"
        "  --screenshot FILE    sign in as the demo administrator, open the security screen,\n"
        "                       save a picture of the window to FILE and exit\n");
}

Options parseOptions(const QStringList& arguments) {
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](const char* name) -> QString {
            if (i + 1 >= arguments.size()) {
                options.error =
                    QCoreApplication::translate("zavek::shell::Startup", "%1 needs a value.")
                        .arg(QLatin1String(name));
                return {};
            }
            return arguments[++i];
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = true;
        } else if (a == QLatin1String("--database")) {
            options.database = value("--database");
        } else if (a == QLatin1String("--server")) {
            options.server = value("--server");
        } else if (a == QLatin1String("--ca")) {
            options.ca = value("--ca");
        } else if (a == QLatin1String("--screenshot")) {
            options.screenshot = value("--screenshot");
        } else if (a == QLatin1String("--timeout-ms")) {
            bool ok = false;
            options.timeoutMs = value("--timeout-ms").toInt(&ok);
            if (!ok || options.timeoutMs <= 0)
                options.error = QCoreApplication::translate(
                    "zavek::shell::Startup",
                    "--timeout-ms needs a positive number of milliseconds.");
        } else {
            options.error =
                QCoreApplication::translate("zavek::shell::Startup", "Unknown option %1.").arg(a);
        }
        if (!options.error.isEmpty())
            break;
    }
    if (options.server.isEmpty())
        options.server = qEnvironmentVariable("ZAVEK_SERVER");
    if (options.ca.isEmpty())
        options.ca = qEnvironmentVariable("ZAVEK_CA");
    if (options.server.isEmpty() && options.database.isEmpty())
        options.database = backend::defaultDatabaseLocation();
    if (!options.server.isEmpty() && !options.database.isEmpty() && options.error.isEmpty())
        options.error = QCoreApplication::translate(
            "zavek::shell::Startup", "Give either --database or --server, not both: with a "
                                     "server, only the server opens the database.");
    return options;
}

void prepareDatabase(const QString& location, const QString& connection, bool showProgress) {
    QSqlDatabase db = backend::openDatabase(location, connection);
    backend::migrate(db);
    std::unique_ptr<QProgressDialog> progress;
    backend::seedDemoData(db, [&](int done, int total) {
        if (!showProgress)
            return;
        if (!progress) {
            progress = std::make_unique<QProgressDialog>(
                QCoreApplication::translate("zavek::shell::Startup", "Creating the demo database…"),
                QString(), 0, total);
            progress->setWindowTitle(QCoreApplication::translate("zavek::shell::Startup",
                                                                 "ZAVEK Security Administration"));
            progress->setMinimumDuration(300);
        }
        progress->setValue(done);
        QApplication::processEvents();
    });
}

backend::Session signInThroughServer(const QString& adminId, const QString& password) {
    MessageData request;
    request.messageType = message_types::kSignIn;
    request.criteria.push_back(
        {QString(), QStringLiteral("ADMIN_ID"), QStringLiteral("="), adminId});
    request.criteria.push_back(
        {QString(), QStringLiteral("PASSWORD"), QStringLiteral("="), password});
    const MessageData reply = callBackEnd(std::move(request));
    const TableData* table = reply.table(QStringLiteral("SESSION"));
    if (!table || table->rows.size() != 1 || table->rows[0].size() < 3 || reply.sessionId.isEmpty())
        fail(codes::kStop,
             QCoreApplication::translate("zavek::shell::Startup",
                                         "The server's answer to the sign-in could not be read. "
                                         "Update ZAVEK and try again."));
    const auto& row = table->rows[0];
    return backend::Session{reply.sessionId, row[0].toString(), row[1].toString(),
                            row[2].toString()};
}

void signOutThroughServer() {
    MessageData request;
    request.messageType = message_types::kSignOut;
    callBackEnd(std::move(request));
}

} // namespace zavek::shell

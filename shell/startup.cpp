#include "shell/startup.h"

#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/schema.h"

#include <QApplication>
#include <QProgressDialog>
#include <QStringList>

#include <memory>

namespace zavek::shell {

QString usage() {
    return QStringLiteral(
        "usage: zavek-shell [--database LOCATION] [--timeout-ms N] [--screenshot FILE]\n"
        "  --database LOCATION  an SQLite file, or postgresql://user@host:port/dbname\n"
        "                       (default: $ZAVEK_DATABASE, else the embedded demo database)\n"
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
                options.error = QStringLiteral("%1 needs a value.").arg(QLatin1String(name));
                return {};
            }
            return arguments[++i];
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = true;
        } else if (a == QLatin1String("--database")) {
            options.database = value("--database");
        } else if (a == QLatin1String("--screenshot")) {
            options.screenshot = value("--screenshot");
        } else if (a == QLatin1String("--timeout-ms")) {
            bool ok = false;
            options.timeoutMs = value("--timeout-ms").toInt(&ok);
            if (!ok || options.timeoutMs <= 0)
                options.error =
                    QStringLiteral("--timeout-ms needs a positive number of milliseconds.");
        } else {
            options.error = QStringLiteral("Unknown option %1.").arg(a);
        }
        if (!options.error.isEmpty())
            break;
    }
    if (options.database.isEmpty())
        options.database = backend::defaultDatabaseLocation();
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
                QStringLiteral("Creating the demo database…"), QString(), 0, total);
            progress->setWindowTitle(QStringLiteral("ZAVEK Security Administration"));
            progress->setMinimumDuration(300);
        }
        progress->setValue(done);
        QApplication::processEvents();
    });
}

} // namespace zavek::shell

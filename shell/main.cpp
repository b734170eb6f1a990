#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/worker_transport.h"
#include "common/component_registry.h"
#include "common/failure.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "server/network_transport.h"
#include "shell/component_loader.h"
#include "shell/main_window.h"
#include "shell/sign_in_dialog.h"
#include "shell/startup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <cstdio>

using namespace zavek;

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const shell::Options options = shell::parseOptions(arguments);
    if (options.help) {
        std::fputs(shell::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n%s", qPrintable(options.error), qPrintable(shell::usage()));
        return 2;
    }
    if (!options.screenshot.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs(qPrintable(QCoreApplication::translate(
                       "zavek::shell::Startup",
                       "zavek-shell needs a display. Run it on a desktop, or in a virtual one with "
                       "xvfb-run -a zavek-shell, or render a picture with --screenshot FILE.\n")),
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZAVEK Security Administration"));
    const QString connection = QString::fromLatin1(shell::kUiConnection);

    const bool remote = !options.server.isEmpty();
    std::shared_ptr<net::NetworkTransport> network;
    std::unique_ptr<backend::Authenticator> authenticator;
    shell::SignInDialog::SignIn signIn;
    if (remote) {
        // Only the server opens the database; this shell holds no credentials for it.
        net::ServerAddress address;
        address.caFile = options.ca;
        QString why;
        if (!net::parseServerAddress(options.server, address, &why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 2;
        }
        if (const auto failure =
                attempt([&] { network = std::make_shared<net::NetworkTransport>(address); })) {
            std::fprintf(stderr, "%s\n", qPrintable(failure->description()));
            return 1;
        }
        if (!network->waitConnected(options.timeoutMs, &why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
        MessageBus::Instance().setTimeoutMs(options.timeoutMs);
        MessageBus::Instance().setTransport(network);
        signIn = shell::signInThroughServer;
    } else {
        if (const auto failure = attempt([&] {
                shell::prepareDatabase(options.database, connection, options.screenshot.isEmpty());
            })) {
            std::fprintf(stderr, "%s\n", qPrintable(failure->description()));
            return 1;
        }
        authenticator =
            std::make_unique<backend::Authenticator>(QSqlDatabase::database(connection));
        signIn = [&](const QString& id, const QString& password) {
            return authenticator->signIn(id, password);
        };
    }

    backend::Session session;
    if (!options.screenshot.isEmpty()) {
        if (const auto failure = attempt([&] {
                session = signIn(QString::fromLatin1(backend::kDemoAdminId),
                                 QString::fromLatin1(backend::kDemoAdminPassword));
            })) {
            std::fprintf(stderr, "%s\n",
                         qPrintable(QCoreApplication::translate(
                                        "zavek::shell::Startup",
                                        "--screenshot signs in as the demo administrator: %1")
                                        .arg(failure->description())));
            return 1;
        }
    } else {
        shell::SignInDialog dialog(signIn);
        if (dialog.exec() != QDialog::Accepted)
            return 0;
        session = dialog.session();
    }

    SessionInfo::Instance().establish(session.token, session.region,
                                      remote ? QString() : connection);
    MessageBus::Instance().setTimeoutMs(options.timeoutMs);
    if (!remote)
        MessageBus::Instance().setTransport(
            std::make_shared<backend::WorkerTransport>(options.database));

    FileComponentRegistry registry(shell::ComponentLoader::defaultRegistryPath());
    shell::ComponentLoader loader(registry, shell::ComponentLoader::defaultPluginDir());
    if (const auto failure = attempt([&] { loader.ensureRegistered(); })) {
        std::fprintf(stderr, "%s\n", qPrintable(failure->description()));
        return 1;
    }

    int status = 0;
    {
        shell::MainWindow window(
            loader, DocumentContext{},
            QCoreApplication::translate("zavek::shell::Startup",
                                        "ZAVEK Security Administration — %1 (%2)")
                .arg(session.adminName, session.region));
        window.show();
        if (network)
            window.followConnection(*network);
        if (!window.openSecurityDocument())
            return 1;
        if (!options.screenshot.isEmpty()) {
            QElapsedTimer settle;
            settle.start();
            while (settle.elapsed() < 300)
                QApplication::processEvents();
            if (!window.grab().save(options.screenshot)) {
                std::fprintf(
                    stderr, "%s\n",
                    qPrintable(QCoreApplication::translate("zavek::shell::Startup",
                                                           "Cannot write the picture to %1.")
                                   .arg(options.screenshot)));
                return 1;
            }
            std::printf("%s\n",
                        qPrintable(QCoreApplication::translate("zavek::shell::Startup", "Saved %1")
                                       .arg(options.screenshot)));
            window.closeAllDocuments();
        } else {
            status = QApplication::exec();
        }
    }
    // A session the shell no longer needs must not stay usable by whoever finds its token.
    if (network) {
        network->setStateSink({});
        attempt([&] { shell::signOutThroughServer(); });
    } else {
        attempt([&] { authenticator->signOut(session.token); });
    }
    MessageBus::Instance().setTransport(nullptr);
    // The authenticator holds a handle on the connection; it goes first so the close is clean.
    authenticator.reset();
    if (!remote)
        backend::closeDatabase(connection);
    return status;
}

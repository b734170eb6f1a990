#pragma once
// The real shell, component, bus, worker-thread back end and SQLite file, driven with input
// events; or the same shell through a real zavek-server process over TLS. Message boxes are
// scripted; the event pump and its sleep are the real ones.

#include "backend/authenticator.h"
#include "backend/worker_transport.h"
#include "common/component_registry.h"
#include "platform/fake_platform.h"
#include "shell/component_loader.h"
#include "shell/document_window.h"
#include "shell/main_window.h"
#include "tests/support/printers.h"

#include <QCheckBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace zavek::net {
class NetworkTransport;
}

namespace zavek::testing {

using namespace Qt::StringLiterals;

class ShellScenario : public ::testing::Test {
public:
    ShellScenario();
    ~ShellScenario() override;

    // Signs the demo administrator in (through a real zavek-server on a loopback port, with a
    // certificate made for the test, when asked), opens the shell and lists the region's first
    // officers: kFirst holds BIS, CFR and CFU, kSecond CFU, CUS and WAP. In a second shell
    // process (peerDir() set) the same on the first one's database and server, as admin.two.
    void start(bool throughServer);
    static QString peerDir() { return qEnvironmentVariable("ZAVEK_E2E_PEER_DIR"); }
    // A self-signed certificate for 127.0.0.1 in name.pem, its key in name-key.pem.
    void makeCertificate(const QString& name);
    // The same port again after a restart, so that the shell finds the server where it was.
    void startServer() { server = launchServer(serverPort, serverPort); }
    // A zavek-server on the test's database; port 0: one of its own, given back in chosen.
    std::unique_ptr<QProcess> launchServer(quint16 port, quint16& chosen);
    void stopServer();
    // Types into the search field of the selector in form (none: the window's) and presses Enter.
    void search(const QString& text, QWidget* form = nullptr);
    // Picks the officer with the selector in form, from its list when it is listed.
    void pick(const QString& officerId, QWidget* form);
    // Picks the officer in the window and waits until it is shown.
    void show(const QString& officerId);
    // Clicks the check box of each code ("CFD,BIS"), in whichever list holds it.
    void tick(const QString& codes);
    // The codes ticked in both lists, sorted: "BIS CFR".
    QString ticked() const;
    void clickSave();
    bool saveEnabled() const {
        return window->toolbarAction(shell::MainWindow::kSave)->isEnabled();
    }
    QCheckBox* resetBox() const {
        return documentWindow->document()->Form()->findChild<QCheckBox*>(u"chkResetPassword"_s);
    }
    // The first column of every row of the query, joined by blanks.
    static QString query(const QString& sql, const QString& value = {});
    static QString stored(const QString& officerId) {
        return query(u"SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ? ORDER BY GRP_CD"_s,
                     officerId);
    }
    static int auditRows(const QString& officerId) {
        return query(u"SELECT COUNT(*) FROM AUDIT_LOG WHERE INSP_ID = ?"_s, officerId).toInt();
    }
    QString status() const { return window->statusText(); }

    QTemporaryDir dir;
    QString location;
    platform::FakeMessageBox boxes;
    platform::FakeDialogRunner dialogs;
    std::unique_ptr<FileComponentRegistry> registry;
    std::unique_ptr<shell::ComponentLoader> loader;
    std::shared_ptr<backend::WorkerTransport> transport; // in process only
    std::shared_ptr<net::NetworkTransport> network;      // through the server only
    std::unique_ptr<QProcess> server;
    quint16 serverPort = 0;
    std::unique_ptr<shell::MainWindow> window;
    QPointer<shell::DocumentWindow> documentWindow;
    backend::Session session;
    QString kFirst;
    QString kSecond;
};

} // namespace zavek::testing

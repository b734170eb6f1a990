#pragma once
// The real shell, component, bus, worker-thread back end and SQLite file, driven with input
// events. Message boxes are scripted; the event pump and its sleep are the real ones.

#include "backend/authenticator.h"
#include "backend/worker_transport.h"
#include "common/component_registry.h"
#include "platform/fake_platform.h"
#include "shell/component_loader.h"
#include "shell/document_window.h"
#include "shell/main_window.h"
#include "tests/support/printers.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class QCheckBox;
class QTreeView;

namespace zavek::net {
class NetworkTransport;
}

namespace zavek::testing {

class ShellScenario : public ::testing::Test {
protected:
    ShellScenario();
    ~ShellScenario() override;

    // From now on sign-in and the shell go through a real zavek-server process on a loopback
    // port, with a certificate made for the test; the database stays the test's file.
    void useServer();
    // A self-signed certificate for 127.0.0.1 in name.pem, its key in name-key.pem.
    void makeCertificate(const QString& name);
    void startServer();
    // Another zavek-server on the same database, on a port of its own.
    std::unique_ptr<QProcess> launchServer(quint16 port, quint16& chosen);
    void stopServer();
    bool signIn(const QString& id, const QString& password, QString* message = nullptr);
    void openShell();
    // Types into the selector's search field, presses Enter, picks the row with that id.
    void pick(const QString& officerId);
    void search(const QString& text);
    int listedRow(const QString& officerId) const;
    bool waitForStatus(const QString& text, int ms = 10000);
    // Clicks the check box of the item with that code.
    void clickItem(int list, const QString& code);
    bool isChecked(int list, const QString& code);
    void clickSave();
    QTreeView* listView(int list) const;
    QCheckBox* resetBox() const;
    QStringList storedCodes(const QString& officerId);
    int auditRows(const QString& officerId);
    QString status() const { return window->statusText(); }

    QTemporaryDir dir;
    QString location;
    platform::FakeMessageBox boxes;
    platform::FakeDialogRunner dialogs;
    platform::FakeMousePointer pointer;
    std::unique_ptr<FileComponentRegistry> registry;
    std::unique_ptr<shell::ComponentLoader> loader;
    std::shared_ptr<backend::WorkerTransport> transport; // in process only
    std::shared_ptr<net::NetworkTransport> network;      // through the server only
    std::unique_ptr<QProcess> server;
    quint16 serverPort = 0;
    std::unique_ptr<shell::MainWindow> window;
    shell::DocumentWindow* documentWindow = nullptr;
    backend::Session session;
};

} // namespace zavek::testing

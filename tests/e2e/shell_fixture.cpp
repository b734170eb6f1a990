#include "tests/e2e/shell_fixture.h"

#include "backend/database.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "server/network_transport.h"
#include "shell/sign_in_dialog.h"
#include "shell/startup.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QStyle>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

namespace zavek::testing {

namespace {
const QString kConnection = QStringLiteral("zavek-ui");
}

ShellScenario::ShellScenario() : location(dir.filePath(QStringLiteral("zavek.sqlite"))) {
    shell::prepareDatabase(location, kConnection, false);
    registry =
        std::make_unique<FileComponentRegistry>(dir.filePath(QStringLiteral("components.ini")));
    loader = std::make_unique<shell::ComponentLoader>(*registry,
                                                      shell::ComponentLoader::defaultPluginDir());
    loader->ensureRegistered();
}

ShellScenario::~ShellScenario() {
    if (network)
        network->setStateSink({});
    window.reset();
    MessageBus::Instance().setTransport(nullptr);
    MessageBus::Instance().setTimeoutMs(30000);
    ReplyStore::Instance().clear();
    transport.reset();
    network.reset();
    stopServer();
    SessionInfo::Instance().clear();
    backend::closeDatabase(kConnection);
}

void ShellScenario::makeCertificate(const QString& name) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                   dir.filePath(name + "-key.pem"), "-out", dir.filePath(name + ".pem")});
    ASSERT_TRUE(openssl.waitForFinished(60000) && openssl.exitCode() == 0)
        << openssl.readAllStandardError().toStdString();
}

void ShellScenario::useServer() {
    ASSERT_NO_FATAL_FAILURE(makeCertificate(QStringLiteral("cert")));
    startServer();
    net::ServerAddress address{QStringLiteral("127.0.0.1"), serverPort, dir.filePath("cert.pem"),
                               200};
    network = std::make_shared<net::NetworkTransport>(address);
    QString why;
    ASSERT_TRUE(network->waitConnected(10000, &why)) << why.toStdString();
    MessageBus::Instance().setTransport(network);
}

void ShellScenario::startServer() {
    // The same port again after a restart, so that the shell finds the server where it was.
    server = launchServer(serverPort, serverPort);
}

std::unique_ptr<QProcess> ShellScenario::launchServer(quint16 port, quint16& chosen) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(ZAVEK_SERVER_BINARY),
                   {"--listen", QStringLiteral("127.0.0.1:%1").arg(port), "--cert",
                    dir.filePath("cert.pem"), "--key", dir.filePath("cert-key.pem"), "--database",
                    location});
    EXPECT_TRUE(process->waitForStarted(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return process->canReadLine(); }, 20000))
        << "zavek-server did not start";
    const QString line = QString::fromUtf8(process->readLine()).trimmed();
    chosen = static_cast<quint16>(line.section(u':', -1).toUInt());
    EXPECT_NE(chosen, 0) << line.toStdString();
    return process;
}

void ShellScenario::stopServer() {
    if (!server)
        return;
    server->terminate();
    if (!server->waitForFinished(10000))
        server->kill();
    server.reset();
}

bool ShellScenario::signIn(const QString& id, const QString& password, QString* message) {
    backend::Authenticator authenticator(QSqlDatabase::database(kConnection));
    std::unique_ptr<shell::SignInDialog> made =
        network ? std::make_unique<shell::SignInDialog>(shell::signInThroughServer)
                : std::make_unique<shell::SignInDialog>(authenticator);
    shell::SignInDialog& dialog = *made;
    dialog.show();
    QTest::keyClicks(dialog.identifier(), id);
    QTest::keyClicks(dialog.password(), password);
    QTest::mouseClick(dialog.signInButton(), Qt::LeftButton);
    if (message)
        *message = dialog.message()->isVisible() ? dialog.message()->text() : QString();
    if (dialog.result() != QDialog::Accepted)
        return false;
    session = dialog.session();
    return true;
}

void ShellScenario::openShell() {
    // Through a server the shell holds no database connection of its own.
    SessionInfo::Instance().establish(session.token, session.region,
                                      network ? QString() : kConnection);
    if (!network) {
        transport = std::make_shared<backend::WorkerTransport>(location);
        MessageBus::Instance().setTransport(transport);
    }
    platform::Platform platform;
    platform.messageBox = &boxes;
    platform.dialogs = &dialogs;
    window = std::make_unique<shell::MainWindow>(*loader, DocumentContext{platform},
                                                 QStringLiteral("ZAVEK"));
    window->show();
    if (network)
        window->followConnection(*network);
    documentWindow = window->openSecurityDocument();
    ASSERT_NE(documentWindow, nullptr);
}

bool ShellScenario::waitForStatus(const QString& text, int ms) {
    return QTest::qWaitFor([&] { return status() == text; }, ms);
}

void ShellScenario::search(const QString& text) {
    auto* edit =
        documentWindow->document()->Form()->findChild<QLineEdit*>(QStringLiteral("searchEdit"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

int ShellScenario::listedRow(const QString& officerId) const {
    auto* view =
        documentWindow->document()->Form()->findChild<QTreeView*>(QStringLiteral("resultView"));
    QAbstractItemModel* model = view->model();
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 0).data().toString() == officerId)
            return r;
    return -1;
}

void ShellScenario::pick(const QString& officerId) {
    // A new search clears the form, so an officer already listed is picked from the list.
    if (listedRow(officerId) < 0)
        search(officerId);
    QWidget* form = documentWindow->document()->Form();
    auto* view = form->findChild<QTreeView*>(QStringLiteral("resultView"));
    auto* select = form->findChild<QPushButton*>(QStringLiteral("selectButton"));
    ASSERT_TRUE(view && select);
    const int row = listedRow(officerId);
    ASSERT_GE(row, 0) << "officer " << officerId.toStdString() << " not listed";
    view->scrollTo(view->model()->index(row, 0));
    const QRect cell = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseClick(select, Qt::LeftButton);
}

void ShellScenario::clickItem(int list, const QString& code) {
    QTreeView* view = listView(list);
    ASSERT_NE(view, nullptr);
    QAbstractItemModel* model = view->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->index(r, 1).data().toString() != code)
            continue;
        const QModelIndex index = model->index(r, 0);
        view->scrollTo(index);
        const QRect cell = view->visualRect(index);
        const int indicator = view->style()->pixelMetric(QStyle::PM_IndicatorWidth);
        const QPoint at(cell.left() + indicator / 2 + 4, cell.center().y());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        return;
    }
    ADD_FAILURE() << "no item " << code.toStdString();
}

bool ShellScenario::isChecked(int list, const QString& code) {
    QAbstractItemModel* model = listView(list)->model();
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 1).data().toString() == code)
            return model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    ADD_FAILURE() << "no item " << code.toStdString();
    return false;
}

QTreeView* ShellScenario::listView(int list) const {
    // The form's classes live inside the module; a host reaches its controls by name.
    return documentWindow->document()->Form()->findChild<QTreeView*>(
        QStringLiteral("lvOfficerGroups_%1").arg(list));
}

QCheckBox* ShellScenario::resetBox() const {
    return documentWindow->document()->Form()->findChild<QCheckBox*>(
        QStringLiteral("chkResetPassword"));
}

void ShellScenario::clickSave() {
    QAction* save = window->toolbarAction(shell::MainWindow::kSave);
    auto* bar = window->findChild<QToolBar*>(QStringLiteral("DocumentToolbar"));
    ASSERT_TRUE(save->isEnabled()) << "Save is off";
    QTest::mouseClick(bar->widgetForAction(save), Qt::LeftButton);
}

QStringList ShellScenario::storedCodes(const QString& officerId) {
    QSqlQuery q(QSqlDatabase::database(kConnection));
    q.prepare(QStringLiteral("SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ? ORDER BY GRP_CD"));
    q.addBindValue(officerId);
    q.exec();
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

int ShellScenario::auditRows(const QString& officerId) {
    QSqlQuery q(QSqlDatabase::database(kConnection));
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM AUDIT_LOG WHERE INSP_ID = ?"));
    q.addBindValue(officerId);
    q.exec();
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace zavek::testing

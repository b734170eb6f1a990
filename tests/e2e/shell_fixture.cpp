#include "tests/e2e/shell_fixture.h"

#include "backend/database.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "server/network_transport.h"
#include "shell/sign_in_dialog.h"
#include "shell/startup.h"

#include <QDir>
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

void ShellScenario::start(bool throughServer) {
    const bool peer = !peerDir().isEmpty();
    if (peer) {
        backend::closeDatabase(kConnection);
        location = QDir(peerDir()).filePath(QStringLiteral("zavek.sqlite"));
        shell::prepareDatabase(location, kConnection, false);
    }
    const QStringList officers =
        query(QStringLiteral("SELECT INSP_ID FROM OFFICER WHERE REGION = 'NW' ORDER BY INSP_ID"))
            .split(u' ');
    ASSERT_GE(officers.size(), 2);
    kFirst = officers[0];
    kSecond = officers[1];
    for (const auto& [officer, codes] :
         {std::pair{kFirst, "BIS CFR CFU"}, {kSecond, "CFU CUS WAP"}}) {
        if (peer)
            break; // the first process has set them
        query(QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ?"), officer);
        for (const QString& code : QString::fromLatin1(codes).split(u' '))
            query(u"INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES ('%1', ?)"_s.arg(officer),
                  code);
    }
    if (throughServer && !peer) {
        ASSERT_NO_FATAL_FAILURE(makeCertificate(QStringLiteral("cert")));
        startServer();
    }
    if (throughServer) {
        const QString certs = peer ? peerDir() : dir.path();
        network = std::make_shared<net::NetworkTransport>(net::ServerAddress{
            QStringLiteral("127.0.0.1"),
            peer ? static_cast<quint16>(qEnvironmentVariableIntValue("ZAVEK_E2E_PEER_PORT"))
                 : serverPort,
            QDir(certs).filePath(QStringLiteral("cert.pem")), 200});
        QString why;
        ASSERT_TRUE(network->waitConnected(10000, &why)) << why.toStdString();
        MessageBus::Instance().setTransport(network);
    }
    backend::Authenticator authenticator(QSqlDatabase::database(kConnection));
    auto dialog = network ? std::make_unique<shell::SignInDialog>(shell::signInThroughServer)
                          : std::make_unique<shell::SignInDialog>(authenticator);
    dialog->show();
    QTest::keyClicks(dialog->identifier(), peer ? u"admin.two"_s : u"admin"_s);
    QTest::keyClicks(dialog->password(), peer ? u"second-demo"_s : u"zavek-demo"_s);
    QTest::mouseClick(dialog->signInButton(), Qt::LeftButton);
    ASSERT_EQ(dialog->result(), QDialog::Accepted) << dialog->message()->text().toStdString();
    session = dialog->session();
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
    ASSERT_EQ(status(), QStringLiteral("Ready"));
    // Both officers listed, so that picking one comes from the list.
    search(kFirst.left(2));
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

void ShellScenario::search(const QString& text, QWidget* form) {
    auto* edit = (form ? form : documentWindow->document()->Form())
                     ->findChild<QLineEdit*>(QStringLiteral("searchEdit"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

namespace {
// The row of the view's model whose column holds text, or -1.
int rowOf(const QTreeView* view, int column, const QString& text) {
    for (int r = 0; view && r < view->model()->rowCount(); ++r)
        if (view->model()->index(r, column).data().toString() == text)
            return r;
    return -1;
}

void clickRow(QTreeView* view, int row, int x = -1) {
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QRect cell = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      x < 0 ? cell.center() : QPoint(cell.left() + x, cell.center().y()));
}
} // namespace

void ShellScenario::pick(const QString& officerId, QWidget* form) {
    auto* view = form->findChild<QTreeView*>(QStringLiteral("resultView"));
    ASSERT_NE(view, nullptr);
    // A new search clears the form, so an officer already listed is picked from the list.
    if (rowOf(view, 0, officerId) < 0)
        search(officerId, form);
    const int row = rowOf(view, 0, officerId);
    ASSERT_GE(row, 0) << "officer " << officerId.toStdString() << " not listed";
    clickRow(view, row);
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("selectButton")),
                      Qt::LeftButton);
}

void ShellScenario::show(const QString& officerId) {
    ASSERT_NO_FATAL_FAILURE(pick(officerId, documentWindow->document()->Form()));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return status().startsWith(QStringLiteral("Displaying Security Group for ")); },
        10000))
        << status().toStdString();
}

void ShellScenario::tick(const QString& codes) {
    QWidget* form = documentWindow->document()->Form();
    for (const QString& code : codes.split(u',', Qt::SkipEmptyParts)) {
        auto* view = form->findChild<QTreeView*>(QStringLiteral("lvOfficerGroups_0"));
        if (rowOf(view, 1, code) < 0)
            view = form->findChild<QTreeView*>(QStringLiteral("lvOfficerGroups_1"));
        const int row = rowOf(view, 1, code);
        ASSERT_GE(row, 0) << "no item " << code.toStdString();
        clickRow(view, row, view->style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4);
    }
}

QString ShellScenario::ticked() const {
    QStringList out;
    for (int list : {0, 1}) {
        const QAbstractItemModel* model =
            documentWindow->document()
                ->Form()
                ->findChild<QTreeView*>(QStringLiteral("lvOfficerGroups_%1").arg(list))
                ->model();
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                out << model->index(r, 1).data().toString();
    }
    out.sort();
    return out.join(u' ');
}

void ShellScenario::clickSave() {
    QAction* save = window->toolbarAction(shell::MainWindow::kSave);
    ASSERT_TRUE(save->isEnabled()) << "Save is off";
    QTest::mouseClick(
        window->findChild<QToolBar*>(QStringLiteral("DocumentToolbar"))->widgetForAction(save),
        Qt::LeftButton);
}

QString ShellScenario::query(const QString& sql, const QString& value) {
    QSqlQuery q(QSqlDatabase::database(kConnection));
    q.prepare(sql);
    if (!value.isNull())
        q.addBindValue(value);
    EXPECT_TRUE(q.exec()) << sql.toStdString();
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out.join(u' ');
}

} // namespace zavek::testing

// The real shell, component, bus, worker-thread back end and SQLite file, driven with input
// events; or the same shell through a real zavek-server process over TLS. Message boxes are
// scripted; the event pump and its sleep are the real ones.

#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/worker_transport.h"
#include "common/codec.h"
#include "common/component_registry.h"
#include "common/failure.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "platform/fake_platform.h"
#include "server/network_transport.h"
#include "shell/component_loader.h"
#include "shell/document_window.h"
#include "shell/main_window.h"
#include "shell/sign_in_dialog.h"
#include "shell/startup.h"
#include "tests/support/printers.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSslSocket>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>

namespace zavek::testing {
namespace {

using namespace Qt::StringLiterals;
const QString kConnection = QStringLiteral("zavek-ui");

class ShellScenario : public ::testing::Test {
public:
    // A peer process works on the first one's database.
    ShellScenario()
        : location(QDir(peerDir().isEmpty() ? dir.path() : peerDir()).filePath(u"zavek.sqlite"_s)) {
        shell::prepareDatabase(location, kConnection, false);
        registry = std::make_unique<FileComponentRegistry>(dir.filePath(u"components.ini"_s));
        loader = std::make_unique<shell::ComponentLoader>(
            *registry, shell::ComponentLoader::defaultPluginDir());
        loader->ensureRegistered();
    }
    ~ShellScenario() override {
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

    // Signs the demo administrator in (through a real zavek-server on a loopback port, with a
    // certificate made for the test, when asked), opens the shell and lists the region's first
    // officers: kFirst holds BIS, CFR and CFU, kSecond CFU, CUS and WAP. In a second shell
    // process (peerDir() set) the same on the first one's database and server, as admin.two.
    void start(bool throughServer) {
        const bool peer = !peerDir().isEmpty();
        const QStringList officers =
            query(u"SELECT INSP_ID FROM OFFICER WHERE REGION = 'NW' ORDER BY INSP_ID"_s)
                .split(u' ');
        ASSERT_GE(officers.size(), 2);
        kFirst = officers[0], kSecond = officers[1];
        for (const auto& [officer, codes] :
             {std::pair{kFirst, "'BIS','CFR','CFU'"}, {kSecond, "'CFU','CUS','WAP'"}}) {
            if (peer)
                break; // the first process has set them
            query(u"DELETE FROM OFFICER_GROUP WHERE INSP_ID = ?"_s, officer);
            query(u"INSERT INTO OFFICER_GROUP SELECT DISTINCT ?, GRP_CD FROM VRD_GROUP "
                  "WHERE GRP_CD IN (%1)"_s.arg(QLatin1String(codes)),
                  officer);
        }
        if (throughServer && !peer) {
            ASSERT_NO_FATAL_FAILURE(makeCertificate(u"cert"_s));
            startServer();
        }
        if (throughServer) {
            network = client(
                peer ? static_cast<quint16>(qEnvironmentVariableIntValue("ZAVEK_E2E_PEER_PORT"))
                     : serverPort,
                QFileInfo(location).dir().filePath(u"cert.pem"_s));
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
        window = std::make_unique<shell::MainWindow>(
            *loader, DocumentContext{{.messageBox = &boxes, .dialogs = &dialogs}}, u"ZAVEK"_s);
        window->show();
        if (network)
            window->followConnection(*network);
        documentWindow = window->openSecurityDocument();
        ASSERT_NE(documentWindow, nullptr);
        ASSERT_EQ(status(), u"Ready"_s);
        // Both officers listed, so that picking one comes from the list.
        search(kFirst.left(2));
    }
    static QString peerDir() { return qEnvironmentVariable("ZAVEK_E2E_PEER_DIR"); }
    // A self-signed certificate for 127.0.0.1 in name.pem, its key in name-key.pem.
    void makeCertificate(const QString& name) {
        QProcess openssl;
        openssl.start(u"openssl"_s,
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                       "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                       dir.filePath(name + "-key.pem"), "-out", dir.filePath(name + ".pem")});
        ASSERT_TRUE(openssl.waitForFinished(60000) && openssl.exitCode() == 0)
            << openssl.readAllStandardError().toStdString();
    }
    // A zavek-server on the test's database, on a port of its own the first time and on the same
    // one after a restart, so that the shell finds the server where it was.
    void startServer() {
        server = std::make_unique<QProcess>();
        server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server->start(QStringLiteral(ZAVEK_SERVER_BINARY),
                      {"--listen", u"127.0.0.1:%1"_s.arg(serverPort), "--cert",
                       dir.filePath("cert.pem"), "--key", dir.filePath("cert-key.pem"),
                       "--database", location});
        EXPECT_TRUE(server->waitForStarted(10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server->canReadLine(); }, 20000))
            << "zavek-server did not start";
        const QString line = QString::fromUtf8(server->readLine()).trimmed();
        serverPort = static_cast<quint16>(line.section(u':', -1).toUInt());
        EXPECT_NE(serverPort, 0) << line.toStdString();
    }
    void stopServer() {
        if (server && (server->terminate(), !server->waitForFinished(10000)))
            server->kill();
        server.reset();
    }
    // A client of the server on this port that trusts the certificate in that file (of this
    // test's directory, unless absolute).
    std::shared_ptr<net::NetworkTransport> client(quint16 port, const QString& certificate) {
        return std::make_shared<net::NetworkTransport>(
            net::ServerAddress{u"127.0.0.1"_s, port, QDir(dir.path()).filePath(certificate), 200});
    }
    // Types into the search field of the selector in form (none: the window's) and presses Enter.
    void search(const QString& text, QWidget* form = nullptr) {
        auto* edit = (form ? form : documentWindow->document()->Form())
                         ->findChild<QLineEdit*>(u"searchEdit"_s);
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // Picks the officer with the selector in form, from its list when it is listed.
    // The row of the view's model whose column holds text, or -1.
    static int rowOf(const QAbstractItemView* view, int column, const QString& text) {
        for (int r = 0; view && r < view->model()->rowCount(); ++r)
            if (view->model()->index(r, column).data().toString() == text)
                return r;
        return -1;
    }

    static void clickRow(QAbstractItemView* view, int row, int x = -1) {
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        const QRect cell = view->visualRect(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          x < 0 ? cell.center() : QPoint(cell.left() + x, cell.center().y()));
    }
    void pick(const QString& officerId, QWidget* form) {
        auto* view = form->findChild<QTreeView*>(u"resultView"_s);
        ASSERT_NE(view, nullptr);
        // A new search clears the form, so an officer already listed is picked from the list.
        if (rowOf(view, 0, officerId) < 0)
            search(officerId, form);
        const int row = rowOf(view, 0, officerId);
        ASSERT_GE(row, 0) << "officer " << officerId.toStdString() << " not listed";
        clickRow(view, row);
        QTest::mouseClick(form->findChild<QPushButton*>(u"selectButton"_s), Qt::LeftButton);
    }
    // Picks the officer in the window and waits until it is shown.
    void show(const QString& officerId) {
        ASSERT_NO_FATAL_FAILURE(pick(officerId, documentWindow->document()->Form()));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return status().startsWith(u"Displaying Security Group for "_s); }, 10000))
            << status().toStdString();
    }
    // Clicks the check box of each code ("CFD,BIS"), in whichever list holds it.
    void tick(const QString& codes) {
        for (const QString& code : codes.split(u',', Qt::SkipEmptyParts)) {
            QAbstractItemView* view = groupList(rowOf(groupList(0), 1, code) < 0 ? 1 : 0);
            const int row = rowOf(view, 1, code);
            ASSERT_GE(row, 0) << "no item " << code.toStdString();
            clickRow(view, row, view->style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4);
        }
    }
    QAbstractItemView* groupList(int list) const {
        return documentWindow->document()->Form()->findChild<QAbstractItemView*>(
            u"lvOfficerGroups_%1"_s.arg(list));
    }
    // The codes ticked in both lists, sorted: "BIS CFR".
    QString ticked() const {
        QStringList out;
        for (int list : {0, 1}) {
            const QAbstractItemModel* model = groupList(list)->model();
            for (int r = 0; r < model->rowCount(); ++r)
                if (model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                    out << model->index(r, 1).data().toString();
        }
        out.sort();
        return out.join(u' ');
    }
    void clickSave() {
        QAction* save = window->toolbarAction(shell::MainWindow::kSave);
        ASSERT_TRUE(save->isEnabled()) << "Save is off";
        QTest::mouseClick(window->findChild<QToolBar*>(u"DocumentToolbar"_s)->widgetForAction(save),
                          Qt::LeftButton);
    }
    bool saveEnabled() const {
        return window->toolbarAction(shell::MainWindow::kSave)->isEnabled();
    }
    QCheckBox* resetBox() const {
        return documentWindow->document()->Form()->findChild<QCheckBox*>(u"chkResetPassword"_s);
    }
    // The first column of every row of the query, joined by blanks.
    static QString query(const QString& sql, const QString& value = {}) {
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

class Scenario;
using Step = std::function<void(Scenario&)>;
const char* const kPending =
    "^Saving Security Group for .* failed; your changes are still pending$";
const char* const kShown = "^Displaying Security Group for ";

// One administrator's edit of kFirst, from pick to stored: the edit is ticked, a failure is
// injected, the edit saved; then the status line, the boxes, the store and the screen must
// say the same. A pending edit makes closing ask, and is stored by Save once the failure ends;
// a stored one is shown again when the officer is picked again.
struct Scene {
    std::string name;
    bool server = false;
    const char* ticks = "";             // codes clicked, in this order
    bool reset = false;                 // Reset Password ticked too
    Step act = {};                      // how the edit is saved; none: the Save button
    const char* status = kShown;        // what the status line comes to match; none: not looked at
    std::size_t boxes = 0;              // boxes shown
    const char* box = nullptr;          // text in the last one
    const char* stored = "BIS CFR CFU"; // kFirst's memberships afterwards
    int audited = 0;                    // audit rows of kFirst the scene added
    Step heal = {}; // ends the failure; set: until then the edit stays on screen, Save offered
    Step then = {}; // what the scene goes on to do once the officer is shown again
    Step peer = {}; // the scene's second shell, in its own process
};

class Scenario : public ShellScenario, public ::testing::WithParamInterface<Scene> {};

TEST_P(Scenario, TheEditIsStoredOrStaysPendingAndTheScreenSaysWhich) {
    const Scene& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(c.server));
    if (!peerDir().isEmpty())
        return c.peer(*this); // only the two-shell scenes start a peer
    ASSERT_NO_FATAL_FAILURE(show(kFirst));
    const int audit = auditRows(kFirst);
    tick(QString::fromLatin1(c.ticks));
    if (c.reset)
        QTest::mouseClick(resetBox(), Qt::LeftButton);
    const QString screen = ticked();
    ASSERT_NO_FATAL_FAILURE(c.act ? c.act(*this) : clickSave());
    const QRegularExpression says(QString::fromLatin1(c.status));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return stored(kFirst) == c.stored && says.match(status()).hasMatch(); }, 20000))
        << status().toStdString() << " / " << stored(kFirst).toStdString();
    EXPECT_EQ(boxes.shown().size(), c.boxes);
    const platform::ShownBox last =
        boxes.shown().empty() ? platform::ShownBox{} : boxes.shown().back();
    EXPECT_TRUE(last.text.contains(QString::fromUtf8(c.box ? c.box : "")))
        << last.text.toStdString();
    EXPECT_EQ(auditRows(kFirst) - audit, c.audited);
    EXPECT_EQ(saveEnabled(), bool(c.heal));
    EXPECT_EQ(resetBox()->isChecked(), c.heal && c.reset);
    if (c.heal) {
        EXPECT_EQ(ticked(), screen);
        documentWindow->close();
        ASSERT_FALSE(documentWindow.isNull()) << "Cancel keeps the window";
        ASSERT_EQ(boxes.shown().size(), c.boxes + 1);
        EXPECT_EQ(boxes.shown().back().style, 35);
        c.heal(*this);
        clickSave();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !saveEnabled() && stored(kFirst) == screen &&
                       status().contains(u"Displaying");
            },
            10000))
            << status().toStdString();
    }
    ASSERT_NO_FATAL_FAILURE(show(kSecond));
    ASSERT_NO_FATAL_FAILURE(show(kFirst));
    EXPECT_EQ(ticked(), stored(kFirst));
    if (c.then)
        c.then(*this);
}

// Another program holds the embedded database's write lock while the shell saves.
void saveWhileTheDatabaseIsLocked(Scenario& s) {
    QSqlDatabase locker = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"locker"_s);
    locker.setDatabaseName(s.location);
    ASSERT_TRUE(locker.open() && QSqlQuery(locker).exec(u"BEGIN EXCLUSIVE"_s));
    s.clickSave();
}

void unlockTheDatabase(Scenario&) {
    QSqlDatabase::database(u"locker"_s).close();
    QSqlDatabase::removeDatabase(u"locker"_s);
}

void saveWithTheServerStopped(Scenario& s) {
    s.stopServer();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return s.status().startsWith(u"No connection to the server"_s); }, 5000))
        << s.status().toStdString();
    MessageBus::Instance().setTimeoutMs(1000);
    s.clickSave();
}

void restartTheServer(Scenario& s) {
    // Not sent at all, so said at once, with nothing left waiting for an answer.
    EXPECT_EQ(MessageBus::Instance().outstanding(), 0u);
    ASSERT_NO_FATAL_FAILURE(s.startServer());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return s.status().startsWith(u"Connected to the server"_s); }, 10000))
        << s.status().toStdString();
    MessageBus::Instance().setTimeoutMs(30000);
}

// One server start-up for its hardening: it refuses a catalogue query outside the region's own
// tables, a shell given another
// authority refuses the server and says why, rubbish and an oversized message are dropped with
// their sender, and a second client saving kSecond while the shell saves kFirst gets its own
// replies only.
void talkToTheServerAsOthers(Scenario& s) {
    MessageData theirs;
    theirs.messageType = message_types::kCatalogueRead;
    theirs.criteria.push_back({{}, "QUERY", "=", "SELECT * FROM ADMIN_SESSION"});
    const auto refused = attempt([&] { callBackEnd(theirs); });
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->description().contains(u"only the catalogue of your own"_s));
    theirs.replyTo = u"E2E"_s;
    theirs.sessionId = s.session.token;
    theirs.messageId = newMessageId();
    ASSERT_NO_FATAL_FAILURE(s.makeCertificate(u"stranger"_s));
    QString why;
    EXPECT_FALSE(s.client(s.serverPort, u"stranger.pem"_s)->waitConnected(10000, &why));
    EXPECT_TRUE(why.contains(u"does not vouch for"_s)) << why.toStdString();
    for (const QByteArray& junk :
         {QByteArray("\0\0\0\x05hello", 9), QByteArray("\x7f\xff\xff\xff", 4)}) {
        QSslSocket rogue;
        rogue.setPeerVerifyMode(QSslSocket::VerifyNone);
        rogue.connectToHostEncrypted(u"127.0.0.1"_s, s.serverPort);
        ASSERT_TRUE(rogue.waitForEncrypted(10000)) << rogue.errorString().toStdString();
        rogue.write(junk);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return rogue.state() == QAbstractSocket::UnconnectedState; }, 10000));
    }
    const auto peer = s.client(s.serverPort, u"cert.pem"_s);
    std::mutex mutex;
    std::vector<MessageData> answers;
    peer->setReplySink([&](const QByteArray& bytes) {
        const std::lock_guard lock(mutex);
        answers.push_back(decodeMessage(bytes));
    });
    ASSERT_TRUE(peer->waitConnected(10000, nullptr));
    theirs.messageType = message_types::kRetrieval;
    theirs.criteria = {{"QUILLMOR", "key:INSP_ID", "=", s.kSecond}};
    peer->send(encodeMessage(theirs));
    theirs.messageType = message_types::kSave;
    theirs.criteria.clear();
    theirs.tables.push_back(
        {"OFFICERGROUP", {{"GRP_CD", "INSP_ID", "ACTION"}, {{"CFD", s.kSecond, "ADD"}}}});
    peer->send(encodeMessage(theirs));
    s.clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.stored(s.kSecond).contains(u"CFD"_s); }, 10000));
    QTest::qWait(100);
    const std::lock_guard lock(mutex);
    ASSERT_EQ(answers.size(), 2u);
    for (const MessageData& answer : answers) {
        EXPECT_EQ(answer.messageId + answer.replyTo, theirs.messageId + theirs.replyTo);
        EXPECT_TRUE(answer.errorText.isEmpty()) << answer.errorText.toStdString();
    }
}

// The history names the scene's save; Revert lays its inverse on the lists, which Save stores.
void revertFromTheHistory(Scenario& s) {
    s.window->findChild<QAction*>(u"HistoryAction"_s)->trigger();
    auto* dialog = s.documentWindow->document()->Form()->findChild<QDialog*>(u"HistoryDialog"_s);
    ASSERT_NE(dialog, nullptr);
    auto* table = dialog->findChild<QTableView*>(u"HistoryTable"_s);
    QAbstractItemModel* history = table->model();
    QAbstractItemModelTester tester(history, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto label = [&] { return dialog->findChild<QLabel*>(u"HistoryMessage"_s)->text(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return label().startsWith(u"History of "); }, 10000))
        << label().toStdString();
    const auto name = [&](const char* code) {
        return s.query(u"SELECT GRP_DES FROM VRD_GROUP WHERE REGION = 'NW' AND GRP_CD = ?"_s,
                       QString::fromLatin1(code));
    };
    EXPECT_EQ(history->headerData(2, Qt::Horizontal).toString(), u"Change"_s);
    EXPECT_EQ(history->index(0, 1).data().toString(), u"Demo Administrator (NW)"_s);
    EXPECT_EQ(
        history->index(0, 2).data().toString(),
        u"Agency changed from %1 to %2; %3 added"_s.arg(name("BIS"), name("CUS"), name("CFD")));
    const int entries = history->rowCount();
    auto* revert = dialog->findChild<QPushButton*>(u"RevertButton"_s);
    table->selectRow(0);
    QTest::mouseClick(revert, Qt::LeftButton);
    EXPECT_TRUE(s.status().startsWith(u"Reverting the save of ")) << s.status().toStdString();
    EXPECT_EQ(s.ticked(), u"BIS CFR CFU"_s);
    EXPECT_EQ(s.stored(s.kFirst), u"CFD CFR CFU CUS"_s) << "nothing written before Save";
    const int audit = s.auditRows(s.kFirst);
    s.clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return history->rowCount() == entries + 1; }, 10000))
        << label().toStdString();
    EXPECT_EQ(s.stored(s.kFirst), u"BIS CFR CFU"_s);
    EXPECT_EQ(s.auditRows(s.kFirst), audit + 3);
    // The scene's save again: the officer has changed since, so nothing of it applies any more.
    table->selectRow(1);
    QTest::mouseClick(revert, Qt::LeftButton);
    EXPECT_EQ(s.status(),
              u"Nothing of the save of %1 by Demo Administrator (NW) can be reverted "
              "for %2: %3 (removed since), the agency (changed since)"_s.arg(
                  history->index(1, 0).data().toString(),
                  s.query(u"SELECT OFFICER_NAME FROM OFFICER WHERE INSP_ID = ?"_s, s.kFirst),
                  name("CFD")));
    EXPECT_FALSE(s.saveEnabled());
    EXPECT_TRUE(s.boxes.shown().empty());
    // A new search leaves no officer on screen: the history shows nothing.
    s.search(s.kSecond);
    EXPECT_EQ(history->rowCount(), 0);
    EXPECT_TRUE(label().startsWith(u"Select an officer")) << label().toStdString();
}

// Copy Security Groups From kSecond, through the Document menu's action as the menu shows it
// when it opens and the dialog's selector; answers the question, waits for the status line to
// match, checks nothing is written before Save and what the lists show, then saves.
Step copyAndSave(int answer, const char* status, const char* shows, bool reset) {
    return [=](Scenario& s) {
        s.dialogs.onRun = [&s](QDialog& dialog) {
            return s.pick(s.kSecond, &dialog), dialog.result();
        };
        s.boxes.queueAnswer(answer);
        auto* action = s.window->findChild<QAction*>(u"CopyGroupsFrom"_s);
        ASSERT_TRUE(action && qobject_cast<QMenu*>(action->parent()));
        emit qobject_cast<QMenu*>(action->parent())->aboutToShow();
        EXPECT_EQ(action->text(), u"Copy Security Groups From\u2026"_s);
        ASSERT_TRUE(action->isEnabled()) << s.status().toStdString();
        const QString before = s.stored(s.kFirst);
        action->trigger();
        const QRegularExpression says(QString::fromLatin1(status));
        ASSERT_TRUE(QTest::qWaitFor([&] { return says.match(s.status()).hasMatch(); }, 10000))
            << s.status().toStdString();
        EXPECT_EQ(s.stored(s.kFirst), before) << "nothing written before Save";
        EXPECT_EQ(s.ticked(), QString::fromLatin1(shows));
        EXPECT_EQ(s.resetBox()->isChecked(), reset);
        EXPECT_TRUE(!s.boxes.shown().empty() &&
                    s.boxes.shown().back().style == platform::AddReplaceCancelQuestion);
        s.clickSave();
    };
}

// The second administrator, in the peer process: opens the officer, and once the first has
// saved, changes the agency too; refused as stale, kept on the stored state, saved again.
void peerChangesTheAgencyToo(Scenario& s) {
    s.show(s.kFirst);
    QFile(QDir(s.peerDir()).filePath("shown")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.stored(s.kFirst).contains(u"CUS"); }, 60000));
    s.tick(u"BIS,MPU,CFD"_s);
    s.clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.boxes.shown().empty(); }, 10000));
    EXPECT_TRUE(s.boxes.shown()[0].text.contains(u"were changed by Demo Administrator (NW) at "))
        << s.boxes.shown()[0].text.toStdString();
    EXPECT_EQ(s.ticked(), u"CFD CFR CFU CUS MPU"_s)
        << "the other's agency as stored, this one's edits on top";
    EXPECT_TRUE(s.saveEnabled());
    s.tick(u"CUS"_s);
    s.clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.status().startsWith(u"Displaying"); }, 10000))
        << s.status().toStdString();
    EXPECT_EQ(s.boxes.shown().size(), 1u);
}

// This very scene again in a second process, signed in as another administrator of the
// region, on this database (and this server); this shell saves between its two steps.
void saveWhileAPeerShellWaits(Scenario& s) {
    QSqlDatabase db = QSqlDatabase::database(u"zavek-ui"_s);
    backend::addAdministrator(db, "admin.two", "Second Administrator", "NW", "second-demo");
    const ::testing::TestInfo* self = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"ZAVEK_E2E_PEER_DIR"_s, s.dir.path());
    env.insert(u"ZAVEK_E2E_PEER_PORT"_s, QString::number(s.serverPort));
    QProcess peer;
    peer.setProcessEnvironment(env);
    peer.setProcessChannelMode(QProcess::MergedChannels);
    peer.start(QCoreApplication::applicationFilePath(),
               {u"--gtest_filter=%1.%2"_s.arg(QLatin1String(self->test_suite_name()),
                                              QLatin1String(self->name()))});
    ASSERT_TRUE(peer.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(s.dir.filePath(u"shown"_s)); }, 60000))
        << peer.readAll().toStdString();
    s.clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.state() == QProcess::NotRunning; }, 60000));
    EXPECT_TRUE(peer.exitStatus() == QProcess::NormalExit && peer.exitCode() == 0)
        << peer.readAll().toStdString();
    EXPECT_EQ(s.query(u"SELECT ADMIN_ID || ':' || COUNT(*) FROM AUDIT_LOG WHERE INSP_ID = ? GROUP "
                      "BY ADMIN_ID ORDER BY ADMIN_ID"_s,
                      s.kFirst),
              u"admin:2 admin.two:3"_s);
}

// Stopped while the save is in hand, the server answers it before it exits.
void stopWhileTheSaveIsInHand(Scenario& s) {
    s.stopServer();
    qputenv("ZAVEK_SERVER_HOLD_MS", "1500");
    ASSERT_NO_FATAL_FAILURE(restartTheServer(s));
    qunsetenv("ZAVEK_SERVER_HOLD_MS");
    MessageBus::Instance().setTimeoutMs(3000);
    s.clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.server->canReadLine(); }, 10000));
    s.server->terminate();
    EXPECT_TRUE(s.server->waitForFinished(10000));
    EXPECT_EQ(s.server->exitCode(), 0);
    // The answer reached the shell: nothing waits for it, and the save is shown as done.
    EXPECT_TRUE(QTest::qWaitFor([&] { return MessageBus::Instance().outstanding() == 0; }, 1000));
    // Unanswered, the save would be given up at the time-out and Save offered again.
    EXPECT_FALSE(QTest::qWaitFor(
        [&] { return s.status().contains(u"your changes are still pending") || s.saveEnabled(); },
        3000))
        << s.status().toStdString();
    ASSERT_NO_FATAL_FAILURE(restartTheServer(s));
}

std::vector<Scene> scenes() {
    using platform::AnswerAdd;
    using platform::AnswerReplace;
    // clang-format off
    std::vector<Scene> out = {
        {.name = "ASaveRefusedWhileAnotherProgramLocksTheDatabase", .ticks = "CFD", .act = saveWhileTheDatabaseIsLocked,
         .status = kPending, .boxes = 1, .box = "database is locked", .heal = unlockTheDatabase},
        {.name = "AStoppedServerKeepsTheEditPending", .server = true, .ticks = "CFD", .act = saveWithTheServerStopped, .status = kPending,
         .boxes = 1, .box = "nothing was sent", .heal = restartTheServer},
        {.name = "TheServerServesItsOwnClientsOnly", .server = true, .ticks = "CFD", .act = talkToTheServerAsOthers,
         .stored = "BIS CFD CFR CFU", .audited = 1},
        {.name = "AStopWhileTheSaveIsInHandStillAnswersIt", .server = true, .ticks = "CFD", .act = stopWhileTheSaveIsInHand,
         .status = "^Connected to the server", .stored = "BIS CFD CFR CFU", .audited = 1},
    };
    for (const bool server : {false, true}) {
        out.push_back({.name = "PickTickChangeAgencySaveComeBackAndRevert", .server = server, .ticks = "CFD,BIS,CUS",
                       .stored = "CFD CFR CFU CUS", .audited = 3, .then = revertFromTheHistory});
        out.push_back({.name = "CopyAddsTheOtherOfficersGroupsToTheEdit", .server = server, .ticks = "CFD", .reset = true,
                       .act = copyAndSave(AnswerAdd, "^Added the security groups of ", "BIS CFD CFR CFU WAP", true),
                       .boxes = 1, .stored = "BIS CFD CFR CFU WAP", .audited = 3});
        out.push_back({.name = "CopyReplacesTheListsWithTheOtherOfficers", .server = server,
                       .act = copyAndSave(AnswerReplace, "^Replaced the security groups", "CFU CUS WAP", false),
                       .boxes = 1, .stored = "CFU CUS WAP", .audited = 4});
        out.push_back({.name = "TwoShellsOnOneDatabaseTheStaleSaveIsRefusedKeptAndSavedAgain", .server = server,
                       .ticks = "BIS,CUS", .act = saveWhileAPeerShellWaits, .stored = "CFD CFR CFU MPU", .audited = 5,
                       .peer = peerChangesTheAgencyToo});
    }
    // clang-format on
    return out;
}

void PrintTo(const Scene& scene, std::ostream* out) {
    *out << scene.name;
}

INSTANTIATE_TEST_SUITE_P(Scenes, Scenario, ::testing::ValuesIn(scenes()), [](const auto& info) {
    return info.param.name + (info.param.server ? "ThroughServer" : "");
});

} // namespace
} // namespace zavek::testing

#include "tests/e2e/shell_fixture.h"

#include "common/codec.h"
#include "common/failure.h"
#include "common/message_bus.h"
#include "common/transport.h"
#include "server/network_transport.h"

#include <QAbstractItemModelTester>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSslSocket>
#include <QTableView>
#include <QTest>

#include <functional>
#include <mutex>

namespace zavek::testing {
namespace {

using namespace Qt::StringLiterals;
using platform::AnswerYes;
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
    Step inject = {};                   // the failure, before the save
    Step act = {};                      // how the edit is saved; none: the Save button
    const char* status = kShown;        // what the status line comes to match; none: not looked at
    std::size_t boxes = 0;              // boxes shown
    const char* box = nullptr;          // text in the last one
    int style = 0;                      // the last one's style; 0: not looked at
    const char* stored = "BIS CFR CFU"; // kFirst's memberships afterwards
    int audited = 0;                    // audit rows of kFirst the scene added
    bool pending = false;               // the edit is still on screen and Save offered
    Step heal = {};                     // ends the failure; none: it lasts
    Step then = {}; // what the scene goes on to do once the officer is shown again
    Step peer = {}; // the scene's second shell, in its own process
};

class Scenario : public ShellScenario, public ::testing::WithParamInterface<Scene> {};

TEST_P(Scenario, TheEditIsStoredOrStaysPendingAndTheScreenSaysWhich) {
    const Scene& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(c.server));
    if (!peerDir().isEmpty()) {
        ASSERT_TRUE(c.peer);
        return c.peer(*this);
    }
    ASSERT_NO_FATAL_FAILURE(show(kFirst));
    const int audit = auditRows(kFirst);
    tick(QString::fromLatin1(c.ticks));
    if (c.reset)
        QTest::mouseClick(resetBox(), Qt::LeftButton);
    const QString screen = ticked();
    ASSERT_NO_FATAL_FAILURE(c.inject ? c.inject(*this) : void());
    ASSERT_NO_FATAL_FAILURE(c.act ? c.act(*this) : clickSave());
    const QRegularExpression says(QString::fromLatin1(c.status ? c.status : ""));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return stored(kFirst) == c.stored && says.match(status()).hasMatch(); }, 20000))
        << status().toStdString() << " / " << stored(kFirst).toStdString();
    EXPECT_EQ(boxes.shown().size(), c.boxes);
    const platform::ShownBox last =
        boxes.shown().empty() ? platform::ShownBox{} : boxes.shown().back();
    EXPECT_TRUE(last.text.contains(QString::fromUtf8(c.box ? c.box : "")))
        << last.text.toStdString();
    EXPECT_TRUE(!c.style || last.style == c.style) << last.style;
    EXPECT_EQ(auditRows(kFirst) - audit, c.audited);
    if (!documentWindow)
        return;
    EXPECT_EQ(saveEnabled(), c.pending);
    EXPECT_EQ(resetBox()->isChecked(), c.pending && c.reset);
    if (c.pending) {
        EXPECT_EQ(ticked(), screen);
        const std::size_t shown = boxes.shown().size();
        documentWindow->close();
        ASSERT_FALSE(documentWindow.isNull()) << "Cancel keeps the window";
        ASSERT_EQ(boxes.shown().size(), shown + 1);
        EXPECT_EQ(boxes.shown().back().style, 35);
        if (!c.heal)
            return;
        c.heal(*this);
        clickSave();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !saveEnabled() && stored(kFirst) == screen &&
                       status().contains(u"Displaying");
            },
            10000))
            << status().toStdString();
        EXPECT_FALSE(resetBox()->isChecked());
    }
    ASSERT_NO_FATAL_FAILURE(show(kSecond));
    ASSERT_NO_FATAL_FAILURE(show(kFirst));
    EXPECT_EQ(ticked(), stored(kFirst));
    if (c.then)
        c.then(*this);
}

void closeWithYes(Scenario& s) {
    s.boxes.queueAnswer(AnswerYes);
    s.documentWindow->close();
}

void lockTheDatabase(Scenario& s) {
    QSqlDatabase locker =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
    locker.setDatabaseName(s.location);
    ASSERT_TRUE(locker.open() && QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE")));
}

void unlockTheDatabase(Scenario&) {
    QSqlDatabase::database(QStringLiteral("locker")).close();
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
}

// The session ends, and its refusal arrives after the request has timed out.
void expireLate(Scenario& s) {
    s.query(QStringLiteral("UPDATE ADMIN_SESSION SET EXPIRES_AT = '2000-01-01'"));
    MessageBus::Instance().setTimeoutMs(1000);
    s.transport->setReplyDelayMs(1300);
}

void stopTheServer(Scenario& s) {
    s.stopServer();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return s.status().startsWith(QStringLiteral("No connection to the server")); }, 5000))
        << s.status().toStdString();
    MessageBus::Instance().setTimeoutMs(1000);
}

void restartTheServer(Scenario& s) {
    // Not sent at all, so said at once, with nothing left waiting for an answer.
    EXPECT_EQ(MessageBus::Instance().outstanding(), 0u);
    ASSERT_NO_FATAL_FAILURE(s.startServer());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return s.status().startsWith(QStringLiteral("Connected to the server")); }, 10000))
        << s.status().toStdString();
    MessageBus::Instance().setTimeoutMs(30000);
}

// One server start-up for its hardening: it refuses a catalogue query outside the region's own
// tables, a second server on the same database honours the session, a shell given another
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
    const auto connect = [&](quint16 port, const char* cert) {
        return std::make_unique<net::NetworkTransport>(net::ServerAddress{
            u"127.0.0.1"_s, port, s.dir.filePath(QString::fromLatin1(cert)), 200});
    };
    theirs.replyTo = u"E2E"_s;
    theirs.messageType = message_types::kOfficerSearch;
    theirs.sessionId = s.session.token;
    theirs.messageId = newMessageId();
    theirs.criteria = {{{}, "TEXT", "=", s.kFirst}, {{}, "LIMIT", "=", "5"}};
    quint16 otherPort = 0;
    const std::unique_ptr<QProcess> other = s.launchServer(0, otherPort);
    const auto second = connect(otherPort, "cert.pem");
    ASSERT_TRUE(second->waitConnected(10000, nullptr));
    const MessageData found = decodeMessage(second->call(encodeMessage(theirs), 10000));
    EXPECT_TRUE(found.errorText.isEmpty()) << found.errorText.toStdString();
    EXPECT_TRUE(found.table(u"OFFICER"_s) && !found.table(u"OFFICER"_s)->rows.empty());
    ASSERT_NO_FATAL_FAILURE(s.makeCertificate(u"stranger"_s));
    QString why;
    EXPECT_FALSE(connect(s.serverPort, "stranger.pem")->waitConnected(10000, &why));
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
    const auto peer = connect(s.serverPort, "cert.pem");
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
            s.pick(s.kSecond, &dialog);
            return dialog.result();
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
    EXPECT_TRUE(s.boxes.shown()[0].text.contains(u"since you opened them"));
    EXPECT_TRUE(s.status().endsWith(u"with your changes ticked again")) << s.status().toStdString();
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
    const QString output = QString::fromLocal8Bit(peer.readAll());
    EXPECT_EQ(peer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(peer.exitCode(), 0) << output.toStdString();
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
        {.name = "SwitchingOfficerWithYesSavesFirst", .ticks = "CFD",
         .act = [](Scenario& s) { s.boxes.queueAnswer(AnswerYes); s.show(s.kSecond); },
         .boxes = 1, .box = "Security groups have been changed for ", .stored = "BIS CFD CFR CFU", .audited = 1},
        {.name = "ASaveRefusedWhileAnotherProgramLocksTheDatabase", .ticks = "CFD", .inject = lockTheDatabase,
         .status = kPending, .boxes = 1, .box = "database is locked", .style = 16, .pending = true, .heal = unlockTheDatabase},
        {.name = "ClosingWithYesAfterATimeOutAndARefusal", .ticks = "CFD", .inject = expireLate, .act = closeWithYes,
         .status = kPending, .boxes = 2, .box = "session has expired", .pending = true},
        {.name = "AStoppedServerKeepsTheEditPending", .server = true, .ticks = "CFD", .inject = stopTheServer, .status = kPending,
         .boxes = 1, .box = "nothing was sent", .pending = true, .heal = restartTheServer},
        {.name = "TheServerServesItsOwnClientsOnly", .server = true, .ticks = "CFD", .inject = talkToTheServerAsOthers,
         .act = [](Scenario&) {}, .stored = "BIS CFD CFR CFU", .audited = 1},
        {.name = "AStopWhileTheSaveIsInHandStillAnswersIt", .server = true, .ticks = "CFD", .act = stopWhileTheSaveIsInHand,
         .status = "^Connected to the server", .stored = "BIS CFD CFR CFU", .audited = 1},
    };
    for (const bool server : {false, true}) {
        out.push_back({.name = "PickTickChangeAgencySaveComeBackAndRevert", .server = server, .ticks = "CFD,BIS,CUS",
                       .stored = "CFD CFR CFU CUS", .audited = 3, .then = revertFromTheHistory});
        out.push_back({.name = "CopyAddsTheOtherOfficersGroupsToTheEdit", .server = server, .ticks = "CFD", .reset = true,
                       .act = copyAndSave(AnswerAdd, "^Added the security groups of ", "BIS CFD CFR CFU WAP", true),
                       .boxes = 1, .style = platform::AddReplaceCancelQuestion, .stored = "BIS CFD CFR CFU WAP", .audited = 3});
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

#include "tests/e2e/shell_fixture.h"

#include "common/codec.h"
#include "common/failure.h"
#include "common/message_bus.h"
#include "common/transport.h"
#include "server/network_transport.h"

#include <QApplication>
#include <QCheckBox>
#include <QMdiArea>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSslSocket>
#include <QTest>

#include <functional>
#include <mutex>

namespace zavek::testing {
namespace {

using platform::AnswerCancel;
using platform::AnswerNo;
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
    bool server;
    const char* ticks;  // codes clicked, in this order
    bool reset;         // Reset Password ticked too
    Step inject;        // the failure, before the save
    Step act;           // how the edit is saved; none: the Save button
    const char* status; // what the status line comes to match; none: not looked at
    std::size_t boxes;  // boxes shown
    const char* box;    // text in the last one
    const char* stored; // kFirst's memberships afterwards
    int audited;        // audit rows of kFirst the scene added
    bool pending;       // the edit is still on screen and Save offered
    Step heal;          // ends the failure; none: it lasts
};

class Scenario : public ShellScenario, public ::testing::WithParamInterface<Scene> {};

TEST_P(Scenario, TheEditIsStoredOrStaysPendingAndTheScreenSaysWhich) {
    const Scene& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(c.server));
    ASSERT_NO_FATAL_FAILURE(show(kFirst));
    const int audit = auditRows(kFirst);
    tick(QString::fromLatin1(c.ticks));
    if (c.reset)
        QTest::mouseClick(resetBox(), Qt::LeftButton);
    const QString screen = ticked();
    if (c.inject) {
        ASSERT_NO_FATAL_FAILURE(c.inject(*this));
    }
    ASSERT_NO_FATAL_FAILURE(c.act ? c.act(*this) : clickSave());
    const QRegularExpression says(QString::fromLatin1(c.status ? c.status : ""));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return stored(kFirst) == c.stored && says.match(status()).hasMatch(); }, 20000))
        << status().toStdString() << " / " << stored(kFirst).toStdString();
    EXPECT_EQ(boxes.shown().size(), c.boxes);
    if (c.box && !boxes.shown().empty()) {
        EXPECT_TRUE(boxes.shown().back().text.contains(QString::fromUtf8(c.box)))
            << boxes.shown().back().text.toStdString();
    }
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
    ASSERT_NO_FATAL_FAILURE(s.startServer());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return s.status().startsWith(QStringLiteral("Connected to the server")); }, 10000))
        << s.status().toStdString();
    MessageBus::Instance().setTimeoutMs(30000);
}

// A second window saves the same officer; the first window's edit is then stale.
void saveInASecondWindow(Scenario& s) {
    shell::DocumentWindow* first = s.documentWindow;
    EXPECT_TRUE(s.saveEnabled()) << "the edit in the first window";
    s.documentWindow = s.window->openSecurityDocument();
    EXPECT_FALSE(s.saveEnabled()) << "no officer, no edit, no Save";
    s.show(s.kSecond);
    EXPECT_FALSE(s.saveEnabled());
    s.show(s.kFirst);
    s.tick(QStringLiteral("CFD"));
    s.clickSave();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return s.stored(s.kFirst).contains(QStringLiteral("CFD")); }, 10000));
    s.documentWindow->close();
    s.documentWindow = first;
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.window->documents().size() == 1; }, 2000));
    EXPECT_EQ(s.window->activeDocument(), first);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.saveEnabled(); }, 2000))
        << "the first window's edit is still pending";
    EXPECT_TRUE(s.resetBox()->isChecked()) << "the other window's reply left this box alone";
}

// Quitting asks every window before it acts on any: Cancel on the second leaves both open and
// nothing stored; Yes and No then store the first and drop the second.
void quitWithTwoWindows(Scenario& s) {
    s.documentWindow = s.window->openSecurityDocument();
    s.search(s.kFirst.left(2));
    s.show(s.kSecond);
    s.tick(QStringLiteral("CFD"));
    for (const int second : {AnswerCancel, AnswerNo}) {
        s.boxes.queueAnswer(AnswerYes);
        s.boxes.queueAnswer(second);
        EXPECT_EQ(s.window->closeAllDocuments(), second == AnswerNo);
        QTest::qWait(200);
        EXPECT_EQ(s.window->documents().size(), second == AnswerNo ? 0 : 2);
        EXPECT_EQ(s.stored(s.kFirst).contains(QStringLiteral("CFD")), second == AnswerNo)
            << "nothing acted on before Cancel";
    }
    EXPECT_EQ(s.stored(s.kSecond), QStringLiteral("CFU CUS WAP"));
    EXPECT_TRUE(s.loader->unloadIfPossible());
    for (int id : {7, 8, 9, 14, 12})
        EXPECT_TRUE(s.window->host().isEnabled(id, QStringLiteral("SECADM1")));
}

// The server answers only its clients, each with its own replies, and honours a session
// signed in through another server on the same database.
void talkToTheServerAsOthers(Scenario& s) {
    MessageData foreign;
    foreign.messageType = message_types::kCatalogueRead;
    foreign.criteria.push_back({{}, "QUERY", "=", "SELECT * FROM ADMIN_SESSION"});
    const auto refused = attempt([&] { callBackEnd(foreign); });
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->description().contains(QStringLiteral("only the catalogue of your own")));
    quint16 otherPort = 0;
    const std::unique_ptr<QProcess> other = s.launchServer(0, otherPort);
    const auto connect = [&](quint16 port, const char* cert) {
        return std::make_unique<net::NetworkTransport>(net::ServerAddress{
            QStringLiteral("127.0.0.1"), port, s.dir.filePath(QString::fromLatin1(cert)), 200});
    };
    MessageData theirs{"E2E",
                       {},
                       message_types::kOfficerSearch,
                       s.session.token,
                       newMessageId(),
                       {{{}, "TEXT", "=", s.kFirst}, {{}, "LIMIT", "=", "5"}},
                       {},
                       {}};
    const auto second = connect(otherPort, "cert.pem");
    ASSERT_TRUE(second->waitConnected(10000, nullptr));
    const MessageData found = decodeMessage(second->call(encodeMessage(theirs), 10000));
    EXPECT_TRUE(found.errorText.isEmpty()) << found.errorText.toStdString();
    EXPECT_TRUE(found.table(QStringLiteral("OFFICER")) &&
                !found.table(QStringLiteral("OFFICER"))->rows.empty());
    other->terminate();
    other->waitForFinished(10000);
    // A shell given another authority refuses the server and says why.
    ASSERT_NO_FATAL_FAILURE(s.makeCertificate(QStringLiteral("stranger")));
    QString why;
    EXPECT_FALSE(connect(s.serverPort, "stranger.pem")->waitConnected(10000, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("does not vouch for"))) << why.toStdString();
    // Rubbish and an oversized message are dropped with their sender, the shell is not.
    for (const QByteArray& junk :
         {QByteArray("\0\0\0\x05hello", 9), QByteArray("\x7f\xff\xff\xff", 4)}) {
        QSslSocket rogue;
        rogue.setPeerVerifyMode(QSslSocket::VerifyNone);
        rogue.connectToHostEncrypted(QStringLiteral("127.0.0.1"), s.serverPort);
        ASSERT_TRUE(rogue.waitForEncrypted(10000)) << rogue.errorString().toStdString();
        rogue.write(junk);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return rogue.state() == QAbstractSocket::UnconnectedState; }, 10000));
    }
    // Another administrator of the region saves kSecond through the same server while the
    // shell saves kFirst; each client gets its own replies.
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("zavek-ui"));
    backend::addAdministrator(db, "admin.two", "Second Administrator", "NW", "second-demo");
    const auto peer = connect(s.serverPort, "cert.pem");
    std::mutex mutex;
    std::vector<MessageData> answers;
    peer->setReplySink([&](const QByteArray& bytes) {
        const std::lock_guard lock(mutex);
        answers.push_back(decodeMessage(bytes));
    });
    ASSERT_TRUE(peer->waitConnected(10000, nullptr));
    theirs = {"SECOND",
              {},
              message_types::kSignIn,
              {},
              newMessageId(),
              {{{}, "ADMIN_ID", "=", "admin.two"}, {{}, "PASSWORD", "=", "second-demo"}},
              {},
              {}};
    theirs.sessionId = decodeMessage(peer->call(encodeMessage(theirs), 10000)).sessionId;
    ASSERT_FALSE(theirs.sessionId.isEmpty());
    theirs.messageType = message_types::kRetrieval;
    theirs.criteria = {{"QUILLMOR", "key:INSP_ID", "=", s.kSecond}};
    peer->send(encodeMessage(theirs));
    theirs.messageType = message_types::kSave;
    theirs.criteria.clear();
    theirs.tables.push_back(
        {"OFFICERGROUP", {{"GRP_CD", "INSP_ID", "ACTION"}, {{"CFD", s.kSecond, "ADD"}}}});
    peer->send(encodeMessage(theirs));
    s.clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.stored(s.kSecond).contains(QStringLiteral("CFD")); },
                                10000));
    QTest::qWait(100);
    const std::lock_guard lock(mutex);
    ASSERT_EQ(answers.size(), 2u);
    for (const MessageData& answer : answers) {
        EXPECT_EQ(answer.messageId + answer.replyTo, theirs.messageId + theirs.replyTo);
        EXPECT_TRUE(answer.errorText.isEmpty()) << answer.errorText.toStdString();
    }
}

// Wrong password and unknown administrator get the same message; the shell stays as it was.
void signInWrongly(Scenario& s) {
    QString wrongPassword;
    QString unknown;
    EXPECT_FALSE(s.signIn(QStringLiteral("admin"), QStringLiteral("nope"), &wrongPassword));
    EXPECT_FALSE(s.signIn(QStringLiteral("nobody"), QStringLiteral("zavek-demo"), &unknown));
    EXPECT_FALSE(wrongPassword.isEmpty());
    EXPECT_EQ(wrongPassword, unknown);
}

std::vector<Scene> scenes() {
    // clang-format off
    // Opening a second window asks about the first one's edit (answered Cancel): one box more.
    std::vector<Scene> out = {
        {"SwitchingOfficerWithYesSavesFirst", false, "CFD", false, {},
         [](Scenario& s) { s.boxes.queueAnswer(AnswerYes); s.show(s.kSecond); },
         kShown, 1, "Security groups have been changed for ", "BIS CFD CFR CFU", 1, false, {}},
        {"ResetPasswordIsStoredAndAudited", false, "", true, {}, {}, kShown, 0, nullptr, "BIS CFR CFU", 1, false, {}},
        {"ClosingWithYesWaitsForASlowBackEnd", false, "CFD", false, [](Scenario& s) { s.transport->setReplyDelayMs(1200); },
         [](Scenario& s) {
             closeWithYes(s);
             EXPECT_TRUE(s.status().startsWith(QStringLiteral("Displaying"))) << "the close returned only after the reply";
             EXPECT_TRUE(QTest::qWaitFor([&] { return s.documentWindow.isNull(); }, 2000));
         }, kShown, 1, "Security groups have been changed for ", "BIS CFD CFR CFU", 1, false, {}},
        {"ASaveRefusedWhileAnotherProgramLocksTheDatabase", false, "CFD", false, lockTheDatabase, {},
         kPending, 1, "database is locked", "BIS CFR CFU", 0, true, unlockTheDatabase},
        {"ClosingWithYesAfterATimeOutAndARefusal", false, "CFD", false, expireLate, closeWithYes,
         kPending, 2, "session has expired", "BIS CFR CFU", 0, true, {}},
        {"AStaleSaveIsRefusedAndKeptOnWhatIsStored", false, "CFD", true, saveInASecondWindow, {},
         "with your changes ticked again$", 2, "since you opened them", "BIS CFD CFR CFU", 1, true, [](Scenario&) {}},
        {"QuittingAsksEveryWindowBeforeActingOnAny", false, "CFD", false, quitWithTwoWindows, [](Scenario&) {},
         nullptr, 5, nullptr, "BIS CFD CFR CFU", 1, false, {}},
        {"AStoppedServerKeepsTheEditPending", true, "CFD", false, stopTheServer, {},
         "your changes are still pending", 0, nullptr, "BIS CFR CFU", 0, true, restartTheServer},
        {"TheServerServesItsOwnClientsOnly", true, "CFD", false, talkToTheServerAsOthers, [](Scenario&) {},
         kShown, 0, nullptr, "BIS CFD CFR CFU", 1, false, {}},
    };
    for (const bool server : {false, true}) {
        out.push_back({"PickTickChangeAgencySaveAndComeBack", server, "CFD,BIS,CUS", false, {}, {},
                       kShown, 0, nullptr, "CFD CFR CFU CUS", 3, false, {}});
        out.push_back({"WrongPasswordAndUnknownNameGetTheSameMessage", server, "", false, signInWrongly,
                       [](Scenario&) {}, kShown, 0, nullptr, "BIS CFR CFU", 0, false, {}});
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

using Keyboard = ShellScenario;

TEST_F(Keyboard, TheButtonsStartOffAndTheKeyboardGoesRoundEachWindowOnItsOwn) {
    ASSERT_NO_FATAL_FAILURE(start(false));
    for (int id : {7, 8, 9, 14, 12})
        EXPECT_FALSE(window->toolbarAction(id)->isEnabled()) << id;
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // The control with the keyboard, and the window it is in.
    const auto focus = [&] {
        const QWidget* f = QApplication::focusWidget();
        const QList<shell::DocumentWindow*> windows = window->documents();
        for (int i = 0; f && i < windows.size(); ++i)
            if (windows[i]->isAncestorOf(f))
                return QStringLiteral("%1 in %2").arg(f->objectName()).arg(i);
        return QStringLiteral("none");
    };
    QStringList order{focus()};
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << focus();
    }
    // Select stays disabled until a result is picked, so Tab passes over it.
    EXPECT_EQ(order, (QStringList{"chkResetPassword in 0", "lvOfficerGroups_0 in 0",
                                  "lvOfficerGroups_1 in 0", "searchEdit in 0", "searchButton in 0",
                                  "clearButton in 0", "resultView in 0", "chkResetPassword in 0",
                                  "lvOfficerGroups_0 in 0", "lvOfficerGroups_1 in 0"}));
    // Each window keeps its own place, also when a maximised window is hidden for another.
    shell::DocumentWindow* first = documentWindow;
    shell::DocumentWindow* second = window->openSecurityDocument();
    order = QStringList{focus()};
    window->mdiArea()->setActiveSubWindow(first);
    order << focus();
    window->mdiArea()->setActiveSubWindow(second);
    order << focus();
    EXPECT_EQ(order, (QStringList{"chkResetPassword in 1", "lvOfficerGroups_1 in 0",
                                  "chkResetPassword in 1"}));
}

} // namespace
} // namespace zavek::testing

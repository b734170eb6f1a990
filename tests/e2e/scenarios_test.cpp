#include "tests/e2e/shell_fixture.h"

#include "backend/authenticator.h"
#include "backend/database.h"
#include "common/codec.h"
#include "common/error_logger.h"
#include "common/failure.h"
#include "common/message_bus.h"
#include "common/transport.h"
#include "server/network_transport.h"
#include "shell/startup.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QSslSocket>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <QtEndian>

#include <cstdio>
#include <functional>
#include <mutex>

namespace zavek::testing {
namespace {

using platform::AnswerAdd;
using platform::AnswerCancel;
using platform::AnswerNo;
using platform::AnswerReplace;
using platform::AnswerYes;

// The first two officers of the demo region, whatever the demo data calls them.
QStringList demoOfficers() {
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    q.exec(QStringLiteral("SELECT INSP_ID FROM OFFICER WHERE REGION = 'NW' ORDER BY INSP_ID"));
    QStringList out;
    while (q.next() && out.size() < 2)
        out << q.value(0).toString();
    return out;
}

QStringList catalogue(const char* type) {
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    q.prepare(QStringLiteral(
        "SELECT GRP_CD FROM VRD_GROUP WHERE REGION = 'NW' AND GRP_TYP_CD = ? ORDER BY GRP_CD"));
    q.addBindValue(QString::fromLatin1(type));
    q.exec();
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QString description(const QString& code) {
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    q.prepare(QStringLiteral("SELECT GRP_DES FROM VRD_GROUP WHERE REGION = 'NW' AND GRP_CD = ?"));
    q.addBindValue(code);
    q.exec();
    return q.next() ? q.value(0).toString() : QString();
}

QString listedName(const QString& officer) {
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    q.prepare(QStringLiteral("SELECT OFFICER_NAME FROM OFFICER WHERE INSP_ID = ?"));
    q.addBindValue(officer);
    q.exec();
    return q.next() ? q.value(0).toString() : QString();
}

bool pendingFailure(const QString& status) {
    return status.startsWith(QStringLiteral("Saving Security Group for ")) &&
           status.endsWith(QStringLiteral(" failed; your changes are still pending"));
}

class Scenario : public ShellScenario {
protected:
    QString kFirst;
    QString kSecond;
    virtual bool throughServer() const { return false; }
    // Set in a second shell process a scenario starts: the first one's folder, holding its
    // database and its server's certificate, and its server's port.
    static QString peerDir() { return qEnvironmentVariable("ZAVEK_E2E_PEER_DIR"); }
    static bool isPeer() { return !peerDir().isEmpty(); }
    void SetUp() override {
        if (isPeer()) {
            backend::closeDatabase(QStringLiteral("zavek-ui"));
            location = QDir(peerDir()).filePath(QStringLiteral("zavek.sqlite"));
            shell::prepareDatabase(location, QStringLiteral("zavek-ui"), false);
        }
        const QStringList officers = demoOfficers();
        ASSERT_EQ(officers.size(), 2);
        kFirst = officers[0];
        kSecond = officers[1];
        if (throughServer() && isPeer()) {
            network = std::make_shared<net::NetworkTransport>(net::ServerAddress{
                QStringLiteral("127.0.0.1"),
                static_cast<quint16>(qEnvironmentVariableIntValue("ZAVEK_E2E_PEER_PORT")),
                QDir(peerDir()).filePath(QStringLiteral("cert.pem")), 200});
            ASSERT_TRUE(network->waitConnected(10000, nullptr));
            MessageBus::Instance().setTransport(network);
        } else if (throughServer()) {
            ASSERT_NO_FATAL_FAILURE(useServer());
        }
        ASSERT_TRUE(isPeer() ? signIn(QStringLiteral("admin.two"), QStringLiteral("second-demo"))
                             : signIn(QStringLiteral("admin"), QStringLiteral("zavek-demo")));
        openShell();
        ASSERT_EQ(status(), QStringLiteral("Ready"));
    }
    // This very scenario again in a second process: another shell, signed in as another
    // administrator of the region, on this database (and this server).
    std::unique_ptr<QProcess> startPeer() {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("zavek-ui"));
        backend::addAdministrator(db, "admin.two", "Second Administrator", "NW", "second-demo");
        const ::testing::TestInfo* self = ::testing::UnitTest::GetInstance()->current_test_info();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZAVEK_E2E_PEER_DIR"), dir.path());
        env.insert(QStringLiteral("ZAVEK_E2E_PEER_PORT"), QString::number(serverPort));
        auto peer = std::make_unique<QProcess>();
        peer->setProcessEnvironment(env);
        peer->setProcessChannelMode(QProcess::MergedChannels);
        peer->start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=%1.%2")
                         .arg(QString::fromLatin1(self->test_suite_name()),
                              QString::fromLatin1(self->name()))});
        EXPECT_TRUE(peer->waitForStarted(10000));
        return peer;
    }
    // Waits for a line the peer prints; everything it printed so far is kept in peerOutput.
    bool peerSays(QProcess& peer, const QString& line, int ms = 60000) {
        return QTest::qWaitFor(
            [&] {
                peerOutput += QString::fromLocal8Bit(peer.readAll());
                return peerOutput.contains(QStringLiteral("PEER ") + line + QLatin1Char('\n'));
            },
            ms);
    }
    static void tellParent(const char* line) {
        std::printf("PEER %s\n", line);
        std::fflush(stdout);
    }
    QString peerOutput;
    // A group the officer does not hold, and the officer's agency and another one.
    QString freeGroup(const QString& officer) {
        const QStringList held = storedCodes(officer);
        for (const QString& g : catalogue("P"))
            if (!held.contains(g))
                return g;
        return {};
    }
    QString agencyOf(const QString& officer) {
        for (const QString& a : catalogue("A"))
            if (storedCodes(officer).contains(a))
                return a;
        return {};
    }
    QString otherAgency(const QString& officer) {
        for (const QString& a : catalogue("A"))
            if (a != agencyOf(officer))
                return a;
        return {};
    }
    void show(const QString& officer) {
        pick(officer);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return status().startsWith(QStringLiteral("Displaying Security Group for ")); },
            10000))
            << status().toStdString();
    }
    void hold(const QString& officer, const QStringList& codes) {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("zavek-ui")));
        q.prepare(QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ?"));
        q.addBindValue(officer);
        ASSERT_TRUE(q.exec());
        for (const QString& code : codes) {
            q.prepare(QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
            q.addBindValue(officer);
            q.addBindValue(code);
            ASSERT_TRUE(q.exec());
        }
    }
    // The codes ticked in both lists, sorted.
    QStringList ticked() {
        QStringList out;
        for (int list : {0, 1}) {
            QAbstractItemModel* model = listView(list)->model();
            for (int r = 0; r < model->rowCount(); ++r)
                if (model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                    out << model->index(r, 1).data().toString();
        }
        out.sort();
        return out;
    }
    // The Document menu's action as the menu shows it when it opens.
    QAction* copyAction() {
        auto* action = window->findChild<QAction*>(QStringLiteral("CopyGroupsFrom"));
        auto* menu = action ? qobject_cast<QMenu*>(action->parent()) : nullptr;
        EXPECT_NE(menu, nullptr);
        if (menu)
            emit menu->aboutToShow();
        return action;
    }
    // Runs the action, picking officer in its dialog with the selector, then answering.
    void copyFrom(const QString& officer, int answer, const std::function<void()>& picked = {}) {
        dialogs.onRun = [this, officer, picked](QDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("searchEdit"));
            auto* view = dialog.findChild<QTreeView*>(QStringLiteral("resultView"));
            auto* select = dialog.findChild<QPushButton*>(QStringLiteral("selectButton"));
            if (!edit || !view || !select) {
                ADD_FAILURE() << "no selector in the dialog";
                return int(QDialog::Rejected);
            }
            QTest::keyClicks(edit, officer);
            QTest::keyClick(edit, Qt::Key_Return);
            QAbstractItemModel* model = view->model();
            for (int r = 0; r < model->rowCount(); ++r)
                if (model->index(r, 0).data().toString() == officer)
                    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                      view->visualRect(model->index(r, 0)).center());
            QTest::mouseClick(select, Qt::LeftButton);
            if (picked)
                picked();
            return dialog.result();
        };
        boxes.queueAnswer(answer);
        QAction* action = copyAction();
        ASSERT_TRUE(action && action->isEnabled()) << status().toStdString();
        action->trigger();
    }
};

// The scenarios that run once with the back end in process and once through zavek-server.
class EitherTier : public Scenario, public ::testing::WithParamInterface<bool> {
protected:
    bool throughServer() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Tiers, EitherTier, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Server" : "InProcess"; });

TEST_F(Scenario, OpeningTheScreenDisablesTheDocumentButtons) {
    for (int id : {7, 8, 9, 14, 12})
        EXPECT_FALSE(window->toolbarAction(id)->isEnabled()) << id;
}

TEST_P(EitherTier, PickTickChangeAgencySaveComeBackAndRevertFromTheHistory) {
    const QString group = freeGroup(kFirst);
    const QString oldAgency = agencyOf(kFirst);
    const QString newAgency = otherAgency(kFirst);
    ASSERT_FALSE(group.isEmpty() || oldAgency.isEmpty() || newAgency.isEmpty());
    const int auditBefore = auditRows(kFirst);

    show(kFirst);
    EXPECT_TRUE(isChecked(1, oldAgency));
    clickItem(0, group);
    EXPECT_TRUE(isChecked(0, group));
    EXPECT_TRUE(window->toolbarAction(7)->isEnabled());
    clickItem(1, oldAgency);
    clickItem(1, newAgency);
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return storedCodes(kFirst).contains(newAgency); }, 10000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return status().startsWith(QStringLiteral("Displaying")); }, 10000));

    const QStringList stored = storedCodes(kFirst);
    EXPECT_TRUE(stored.contains(group));
    EXPECT_FALSE(stored.contains(oldAgency));
    EXPECT_EQ(auditRows(kFirst), auditBefore + 3);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_FALSE(window->toolbarAction(7)->isEnabled());

    show(kSecond);
    show(kFirst);
    EXPECT_TRUE(isChecked(0, group));
    EXPECT_TRUE(isChecked(1, newAgency));
    EXPECT_FALSE(isChecked(1, oldAgency));

    // The history names the save; Revert lays its inverse on the lists, which Save stores.
    window->findChild<QAction*>(QStringLiteral("HistoryAction"))->trigger();
    auto* dialog = documentWindow->document()->Form()->findChild<QDialog*>("HistoryDialog");
    ASSERT_NE(dialog, nullptr);
    auto* table = dialog->findChild<QTableView*>(QStringLiteral("HistoryTable"));
    QAbstractItemModel* history = table->model();
    QAbstractItemModelTester tester(history, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto label = [&] {
        return dialog->findChild<QLabel*>(QStringLiteral("HistoryMessage"))->text();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return label().startsWith("History of "); }, 10000))
        << label().toStdString();
    EXPECT_EQ(history->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Change"));
    EXPECT_EQ(history->index(0, 1).data().toString(), QStringLiteral("Demo Administrator (NW)"));
    EXPECT_EQ(history->index(0, 2).data().toString(),
              QStringLiteral("Agency changed from %1 to %2; %3 added")
                  .arg(description(oldAgency), description(newAgency), description(group)));
    const int entries = history->rowCount();
    auto* revert = dialog->findChild<QPushButton*>(QStringLiteral("RevertButton"));
    table->selectRow(0);
    QTest::mouseClick(revert, Qt::LeftButton);
    EXPECT_TRUE(status().startsWith("Reverting the save of ")) << status().toStdString();
    EXPECT_FALSE(isChecked(0, group));
    EXPECT_TRUE(isChecked(1, oldAgency));
    EXPECT_FALSE(isChecked(1, newAgency));
    EXPECT_TRUE(storedCodes(kFirst).contains(newAgency)); // nothing written before Save
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return history->rowCount() == entries + 1; }, 10000))
        << label().toStdString();
    EXPECT_EQ(storedCodes(kFirst).contains(group), false);
    EXPECT_TRUE(storedCodes(kFirst).contains(oldAgency));
    EXPECT_EQ(auditRows(kFirst), auditBefore + 6);

    // The first save again: the officer has changed since, so nothing of it applies any more.
    table->selectRow(1);
    QTest::mouseClick(revert, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Nothing of the save of %1 by Demo Administrator (NW) "
                                       "can be reverted for %2: %3 (removed since), the agency "
                                       "(changed since)")
                            .arg(history->index(1, 0).data().toString(), listedName(kFirst),
                                 description(group)));
    EXPECT_FALSE(window->toolbarAction(7)->isEnabled());
    EXPECT_TRUE(boxes.shown().empty());

    // A new search leaves no officer on screen: the history shows nothing.
    search(kSecond);
    EXPECT_EQ(history->rowCount(), 0);
    EXPECT_TRUE(label().startsWith("Select an officer")) << label().toStdString();
}

TEST_P(EitherTier, CopyingAnotherOfficersGroupsAddsOrReplacesThemAndOnlySaveStoresThem) {
    ASSERT_NO_FATAL_FAILURE(hold(kFirst, {"BIS", "CFR", "CFU"}));
    ASSERT_NO_FATAL_FAILURE(hold(kSecond, {"CFU", "CUS", "WAP"}));
    EXPECT_EQ(copyAction()->text(), QStringLiteral("Copy Security Groups From\u2026"));
    EXPECT_FALSE(copyAction()->isEnabled()) << "no officer shown";
    show(kFirst);
    const int auditBefore = auditRows(kFirst);

    // The same officer is refused; a retrieval the region check refuses changes nothing.
    copyFrom(kFirst, AnswerAdd);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].style, platform::OkInformation);
    EXPECT_TRUE(boxes.shown()[0].text.endsWith(QStringLiteral(
        "is the officer shown. Pick another officer to copy security groups from.")));
    boxes.clear();
    clickItem(0, QStringLiteral("CFD"));
    QSqlQuery region(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    copyFrom(kSecond, AnswerAdd, [&] {
        region.exec(
            QStringLiteral("UPDATE OFFICER SET REGION = 'SE' WHERE INSP_ID = '%1'").arg(kSecond));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 10000));
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("was not found in your region")))
        << boxes.shown()[0].text.toStdString();
    EXPECT_TRUE(status().endsWith(QStringLiteral("failed; the lists are unchanged")));
    EXPECT_EQ(ticked(), (QStringList{"BIS", "CFD", "CFR", "CFU"}));
    EXPECT_TRUE(window->toolbarAction(7)->isEnabled()) << "the tick is still pending";
    region.exec(
        QStringLiteral("UPDATE OFFICER SET REGION = 'NW' WHERE INSP_ID = '%1'").arg(kSecond));
    boxes.clear();

    // The copy's answers, late or not, leave Reset Password alone.
    QTest::mouseClick(resetBox(), Qt::LeftButton);
    if (transport) {
        MessageBus::Instance().setTimeoutMs(1000);
        transport->setReplyDelayMs(1300);
        copyFrom(kSecond, AnswerAdd);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 10000));
        EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral(" got no answer.")))
            << boxes.shown()[0].text.toStdString();
        QTest::qWait(600);
        transport->setReplyDelayMs(0);
        MessageBus::Instance().setTimeoutMs(30000);
        EXPECT_EQ(ticked(), (QStringList{"BIS", "CFD", "CFR", "CFU"})) << "the late answer too";
        EXPECT_TRUE(resetBox()->isChecked());
        boxes.clear();
    }
    // Add: the other officer's groups as well as the pending tick, the agency kept.
    copyFrom(kSecond, AnswerAdd);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return status().startsWith(QStringLiteral("Added the security groups of ")); },
        10000))
        << status().toStdString();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].style, platform::AddReplaceCancelQuestion);
    EXPECT_EQ(ticked(), (QStringList{"BIS", "CFD", "CFR", "CFU", "WAP"}));
    EXPECT_TRUE(resetBox()->isChecked());
    EXPECT_EQ(storedCodes(kFirst), (QStringList{"BIS", "CFR", "CFU"})) << "nothing written yet";
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return auditRows(kFirst) == auditBefore + 3; }, 10000));
    EXPECT_EQ(storedCodes(kFirst), (QStringList{"BIS", "CFD", "CFR", "CFU", "WAP"}));

    // Replace: exactly the other officer's groups and agency.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return status().startsWith(QStringLiteral("Displaying")); }, 10000));
    copyFrom(kSecond, AnswerReplace);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return status().startsWith(QStringLiteral("Replaced the security groups")); }, 10000))
        << status().toStdString();
    EXPECT_EQ(ticked(), (QStringList{"CFU", "CUS", "WAP"}));
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return auditRows(kFirst) == auditBefore + 7; }, 10000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return status().startsWith(QStringLiteral("Displaying")); }, 10000));
    show(kSecond);
    show(kFirst);
    EXPECT_EQ(ticked(), (QStringList{"CFU", "CUS", "WAP"}));
    EXPECT_EQ(storedCodes(kFirst), (QStringList{"CFU", "CUS", "WAP"}));
}

TEST_P(EitherTier, TwoShellsOnOneDatabaseTheStaleSaveIsRefusedKeptAndSavedAgain) {
    const QString go = QDir(isPeer() ? peerDir() : dir.path()).filePath(QStringLiteral("go"));
    if (isPeer()) {
        // The second administrator: opens the officer, and once the first has saved, changes
        // the agency too.
        show(kFirst);
        tellParent("shown");
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(go); }, 60000));
        clickItem(1, QStringLiteral("BIS"));
        clickItem(1, QStringLiteral("MPU"));
        clickItem(0, QStringLiteral("CFD"));
        clickSave();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 10000));
        EXPECT_TRUE(boxes.shown()[0].text.contains(
            QStringLiteral("were changed by Demo Administrator (NW) at ")))
            << boxes.shown()[0].text.toStdString();
        EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("since you opened them")));
        EXPECT_TRUE(status().endsWith(QStringLiteral("with your changes ticked again")))
            << status().toStdString();
        EXPECT_EQ(ticked(), (QStringList{"CFD", "CFR", "CFU", "CUS", "MPU"}))
            << "the other's agency as stored, this one's edits on top";
        EXPECT_TRUE(window->toolbarAction(7)->isEnabled());
        clickItem(1, QStringLiteral("CUS"));
        clickSave();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return status().startsWith(QStringLiteral("Displaying")); }, 10000))
            << status().toStdString();
        EXPECT_EQ(boxes.shown().size(), 1u);
        tellParent("saved");
        return;
    }
    ASSERT_NO_FATAL_FAILURE(hold(kFirst, {"BIS", "CFR", "CFU"}));
    const std::unique_ptr<QProcess> peer = startPeer();
    ASSERT_TRUE(peerSays(*peer, QStringLiteral("shown"))) << peerOutput.toStdString();
    show(kFirst);
    clickItem(1, QStringLiteral("BIS"));
    clickItem(1, QStringLiteral("CUS"));
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return storedCodes(kFirst).contains("CUS"); }, 10000));
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(peerSays(*peer, QStringLiteral("saved"))) << peerOutput.toStdString();
    // It may have ended already, while its last line was read.
    ASSERT_TRUE(peer->state() == QProcess::NotRunning || peer->waitForFinished(30000));
    peerOutput += QString::fromLocal8Bit(peer->readAll());
    EXPECT_EQ(peer->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(peer->exitCode(), 0) << peerOutput.toStdString();
    EXPECT_EQ(storedCodes(kFirst), (QStringList{"CFD", "CFR", "CFU", "MPU"}));
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    q.exec(QStringLiteral("SELECT ADMIN_ID, COUNT(*) FROM AUDIT_LOG WHERE INSP_ID = '%1' GROUP BY "
                          "ADMIN_ID ORDER BY ADMIN_ID")
               .arg(kFirst));
    QStringList audited;
    while (q.next())
        audited << q.value(0).toString() + QLatin1Char(':') + q.value(1).toString();
    EXPECT_EQ(audited, (QStringList{"admin:2", "admin.two:3"}));
    show(kSecond);
    show(kFirst);
    EXPECT_EQ(ticked(), (QStringList{"CFD", "CFR", "CFU", "MPU"}));
}

TEST_F(Scenario, ResetPasswordIsStoredAndAudited) {
    show(kFirst);
    QCheckBox* box = resetBox();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(box->isChecked());
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box->isChecked(); }, 10000))
        << "the reply clears the box";
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    q.prepare(
        QStringLiteral("SELECT PWD_HASH IS NULL, MUST_CHANGE_PWD FROM OFFICER WHERE INSP_ID = ?"));
    q.addBindValue(kFirst);
    ASSERT_TRUE(q.exec() && q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(q.value(1).toInt(), 1);
}

TEST_F(Scenario, SwitchingOfficerWithYesSavesFirst) {
    const QString group = freeGroup(kFirst);
    search(kFirst.left(2));
    show(kFirst);
    clickItem(0, group);
    boxes.queueAnswer(AnswerYes);
    show(kSecond);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(
        boxes.shown()[0].text.startsWith(QStringLiteral("Security groups have been changed for ")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return storedCodes(kFirst).contains(group); }, 10000));
}

TEST_F(Scenario, ClosingWithYesWaitsForASlowBackEnd) {
    const QString group = freeGroup(kFirst);
    show(kFirst);
    clickItem(0, group);
    transport->setReplyDelayMs(1200);
    boxes.queueAnswer(AnswerYes);
    QPointer<shell::DocumentWindow> w = documentWindow;
    w->close();
    EXPECT_TRUE(status().startsWith(QStringLiteral("Displaying Security Group for ")))
        << "the close returned only after the reply was handled";
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 2000));
    EXPECT_TRUE(storedCodes(kFirst).contains(group));
}

TEST_F(Scenario, ASaveRefusedWhileAnotherProgramLocksTheDatabaseStaysPending) {
    const QString group = freeGroup(kFirst);
    show(kFirst);
    clickItem(0, group);
    {
        QSqlDatabase locker =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        locker.setDatabaseName(location);
        ASSERT_TRUE(locker.open());
        QSqlQuery lock(locker);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        clickSave();
        EXPECT_TRUE(QTest::qWaitFor([&] { return pendingFailure(status()); }, 20000))
            << status().toStdString();
        lock.exec(QStringLiteral("ROLLBACK"));
        locker.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    ASSERT_EQ(boxes.shown().size(), 1u) << "the refusal is shown";
    EXPECT_EQ(boxes.shown()[0].style, 16);
    EXPECT_TRUE(isChecked(0, group));
    EXPECT_TRUE(window->toolbarAction(7)->isEnabled()) << "Save can be pressed again";
    EXPECT_FALSE(storedCodes(kFirst).contains(group));

    // Still a change: closing asks, and Cancel keeps the window.
    boxes.queueAnswer(AnswerCancel);
    QPointer<shell::DocumentWindow> w = documentWindow;
    w->close();
    ASSERT_FALSE(w.isNull());
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].style, 35);

    clickSave();
    EXPECT_TRUE(QTest::qWaitFor([&] { return storedCodes(kFirst).contains(group); }, 10000));
}

TEST_F(Scenario, ClosingWithYesAfterATimeOutAndARefusalKeepsTheWindow) {
    const QString group = freeGroup(kFirst);
    show(kFirst);
    clickItem(0, group);
    // The session ends, and its refusal arrives after the request has timed out.
    QSqlQuery expire(QSqlDatabase::database(QStringLiteral("zavek-ui")));
    ASSERT_TRUE(expire.exec(QStringLiteral("UPDATE ADMIN_SESSION SET EXPIRES_AT = '2000-01-01'")));
    MessageBus::Instance().setTimeoutMs(1000);
    transport->setReplyDelayMs(1300);
    boxes.queueAnswer(AnswerYes);
    QPointer<shell::DocumentWindow> w = documentWindow;
    w->close();
    ASSERT_FALSE(w.isNull()) << "the window stays open";
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_TRUE(boxes.shown()[1].text.contains(QStringLiteral("session has expired")))
        << boxes.shown()[1].text.toStdString();
    EXPECT_TRUE(pendingFailure(status())) << status().toStdString();
    EXPECT_TRUE(isChecked(0, group));
    EXPECT_FALSE(storedCodes(kFirst).contains(group));
    boxes.queueAnswer(AnswerCancel);
    w->close();
    ASSERT_EQ(boxes.shown().size(), 3u) << "the edit is still pending, so closing asks again";
    EXPECT_EQ(boxes.shown()[2].style, 35);
}

TEST_F(Scenario, TwoSecurityWindowsKeepTheirOwnButtonsAndReplies) {
    const QString group = freeGroup(kFirst);
    show(kFirst);
    shell::DocumentWindow* first = documentWindow;
    shell::DocumentWindow* second = window->openSecurityDocument();
    ASSERT_NE(second, nullptr);

    window->mdiArea()->setActiveSubWindow(first);
    clickItem(0, group);
    QTest::mouseClick(resetBox(), Qt::LeftButton);
    EXPECT_TRUE(window->toolbarAction(7)->isEnabled()) << "the edit in the first window";

    window->mdiArea()->setActiveSubWindow(second);
    documentWindow = second;
    EXPECT_FALSE(window->toolbarAction(7)->isEnabled()) << "no officer, no edit, no Save";
    show(kSecond);
    EXPECT_FALSE(window->toolbarAction(7)->isEnabled());
    // The same officer in the second window: its save makes the first window's view stale.
    show(kFirst);
    clickItem(0, group);
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return storedCodes(kFirst).contains(group); }, 10000));
    second->close();

    documentWindow = first;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->documents().size() == 1; }, 2000));
    EXPECT_EQ(window->activeDocument(), first);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->toolbarAction(7)->isEnabled(); }, 2000))
        << "the first window's edit is still pending";
    EXPECT_TRUE(resetBox()->isChecked()) << "the other window's reply left this box alone";
    EXPECT_TRUE(isChecked(0, group));
    const std::size_t boxesBefore = boxes.shown().size();
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown().size() > boxesBefore; }, 10000));
    EXPECT_TRUE(boxes.shown().back().text.contains(QStringLiteral("since you opened them")))
        << boxes.shown().back().text.toStdString();
    EXPECT_TRUE(status().endsWith(QStringLiteral("with your changes ticked again")))
        << status().toStdString();
    EXPECT_TRUE(isChecked(0, group)) << "stored by the other window";
    EXPECT_TRUE(resetBox()->isChecked()) << "the refused reset is still asked for";
    EXPECT_TRUE(window->toolbarAction(7)->isEnabled());
    EXPECT_EQ(auditRows(kFirst), 1) << "only the other window's save";
    clickSave();
    EXPECT_TRUE(QTest::qWaitFor([&] { return auditRows(kFirst) == 2; }, 10000))
        << "the reset, saved on the state now shown";
}

TEST_F(Scenario, QuittingAsksEveryWindowBeforeActingOnAny) {
    const QString firstGroup = freeGroup(kFirst);
    const QString secondGroup = freeGroup(kSecond);
    show(kFirst);
    clickItem(0, firstGroup);
    shell::DocumentWindow* first = documentWindow;
    documentWindow = window->openSecurityDocument();
    show(kSecond);
    clickItem(0, secondGroup);
    boxes.clear();

    boxes.queueAnswer(AnswerYes);
    boxes.queueAnswer(AnswerCancel);
    EXPECT_FALSE(window->closeAllDocuments());
    EXPECT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(window->documents().size(), 2);
    QTest::qWait(200);
    EXPECT_FALSE(storedCodes(kFirst).contains(firstGroup)) << "nothing acted on before Cancel";
    documentWindow = first;
    EXPECT_TRUE(isChecked(0, firstGroup));

    boxes.queueAnswer(AnswerYes);
    boxes.queueAnswer(AnswerNo);
    EXPECT_TRUE(window->closeAllDocuments());
    EXPECT_TRUE(window->documents().isEmpty());
    EXPECT_TRUE(storedCodes(kFirst).contains(firstGroup));
    EXPECT_FALSE(storedCodes(kSecond).contains(secondGroup));
    EXPECT_TRUE(loader->unloadIfPossible());
    for (int id : {7, 8, 9, 14, 12})
        EXPECT_TRUE(window->host().isEnabled(id, QStringLiteral("SECADM1")));
}

TEST_F(Scenario, KeyboardOrderStartsAtResetPasswordAndGoesRound) {
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

class ThroughServer : public Scenario {
protected:
    bool throughServer() const override { return true; }
};

TEST_F(ThroughServer, AStoppedServerKeepsTheEditPendingAndSaveWorksOnceItIsBack) {
    const QString group = freeGroup(kFirst);
    show(kFirst);
    // The server runs no query text but the catalogue of the session's own region.
    MessageData foreign;
    foreign.messageType = message_types::kCatalogueRead;
    foreign.criteria.push_back({{}, "QUERY", "=", "SELECT * FROM ADMIN_SESSION"});
    const auto refused = attempt([&] { callBackEnd(foreign); });
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->description().contains(QStringLiteral("only the catalogue of your own")))
        << refused->description().toStdString();
    // A second server on the same database honours the session signed in through the first.
    quint16 otherPort = 0;
    const std::unique_ptr<QProcess> other = launchServer(0, otherPort);
    {
        net::NetworkTransport second(
            {QStringLiteral("127.0.0.1"), otherPort, dir.filePath("cert.pem"), 200});
        ASSERT_TRUE(second.waitConnected(10000, nullptr));
        MessageData search;
        search.messageType = message_types::kOfficerSearch;
        search.sessionId = session.token;
        search.messageId = newMessageId();
        search.replyTo = QStringLiteral("E2E");
        search.criteria.push_back({{}, "TEXT", "=", kFirst});
        search.criteria.push_back({{}, "LIMIT", "=", "5"});
        const MessageData found = decodeMessage(second.call(encodeMessage(search), 10000));
        EXPECT_TRUE(found.errorText.isEmpty()) << found.errorText.toStdString();
        ASSERT_NE(found.table(QStringLiteral("OFFICER")), nullptr);
        EXPECT_FALSE(found.table(QStringLiteral("OFFICER"))->rows.empty());
    }
    other->terminate();
    other->waitForFinished(10000);
    // A shell given another authority refuses the server and says why.
    ASSERT_NO_FATAL_FAILURE(makeCertificate(QStringLiteral("stranger")));
    {
        net::NetworkTransport wary(
            {QStringLiteral("127.0.0.1"), serverPort, dir.filePath("stranger.pem"), 200});
        QString why;
        EXPECT_FALSE(wary.waitConnected(10000, &why));
        EXPECT_TRUE(why.contains(QStringLiteral("does not vouch for"))) << why.toStdString();
    }

    clickItem(0, group);
    stopServer();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return status().startsWith(QStringLiteral("No connection to the server")); }, 5000))
        << status().toStdString();
    MessageBus::Instance().setTimeoutMs(1000);
    clickSave();
    // Not sent at all, so said at once, with nothing left waiting for an answer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pendingFailure(status()); }, 5000))
        << status().toStdString();
    ASSERT_FALSE(boxes.shown().empty());
    EXPECT_TRUE(boxes.shown().back().text.contains(QStringLiteral("nothing was sent")))
        << boxes.shown().back().text.toStdString();
    EXPECT_EQ(MessageBus::Instance().outstanding(), 0u);
    EXPECT_TRUE(window->toolbarAction(shell::MainWindow::kSave)->isEnabled());
    EXPECT_TRUE(isChecked(0, group));
    EXPECT_FALSE(storedCodes(kFirst).contains(group));

    ASSERT_NO_FATAL_FAILURE(startServer());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return status().startsWith(QStringLiteral("Connected to the server")); }, 10000))
        << status().toStdString();
    // Another client sends rubbish and an oversized message; it is dropped, the shell is not.
    for (const QByteArray& junk :
         {QByteArray("\0\0\0\x05hello", 9), QByteArray("\x7f\xff\xff\xff", 4)}) {
        QSslSocket rogue;
        rogue.setPeerVerifyMode(QSslSocket::VerifyNone);
        rogue.connectToHostEncrypted(QStringLiteral("127.0.0.1"), serverPort);
        ASSERT_TRUE(rogue.waitForEncrypted(10000)) << rogue.errorString().toStdString();
        rogue.write(junk);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return rogue.state() == QAbstractSocket::UnconnectedState; }, 10000));
    }
    MessageBus::Instance().setTimeoutMs(30000);
    // Another administrator of the region saves another officer through the same server while
    // the shell saves; each client gets its own replies and no theirs.
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("zavek-ui"));
    backend::addAdministrator(db, "admin.two", "Second Administrator", "NW", "second-demo");
    net::NetworkTransport second(
        {QStringLiteral("127.0.0.1"), serverPort, dir.filePath("cert.pem"), 200});
    std::mutex mutex;
    std::vector<MessageData> answers;
    second.setReplySink([&](const QByteArray& bytes) {
        const std::lock_guard lock(mutex);
        answers.push_back(decodeMessage(bytes));
    });
    ASSERT_TRUE(second.waitConnected(10000, nullptr));
    MessageData theirs;
    theirs.messageType = message_types::kSignIn;
    theirs.messageId = newMessageId();
    theirs.replyTo = QStringLiteral("SECOND");
    theirs.criteria = {{{}, "ADMIN_ID", "=", "admin.two"}, {{}, "PASSWORD", "=", "second-demo"}};
    theirs.sessionId = decodeMessage(second.call(encodeMessage(theirs), 10000)).sessionId;
    ASSERT_FALSE(theirs.sessionId.isEmpty());
    const QString otherGroup = freeGroup(kSecond);
    theirs.messageType = message_types::kRetrieval;
    theirs.criteria = {{"QUILLMOR", "key:INSP_ID", "=", kSecond}};
    second.send(encodeMessage(theirs));
    theirs.messageType = message_types::kSave;
    theirs.criteria.clear();
    theirs.tables.push_back(
        {"OFFICERGROUP", {{"GRP_CD", "INSP_ID", "ACTION"}, {{otherGroup, kSecond, "ADD"}}}});
    ErrorLogger::Instance().clearRecent();
    second.send(encodeMessage(theirs));
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return status().startsWith(QStringLiteral("Displaying")) &&
                   storedCodes(kSecond).contains(otherGroup);
        },
        10000))
        << status().toStdString();
    EXPECT_TRUE(storedCodes(kFirst).contains(group));
    QTest::qWait(100);
    const std::lock_guard lock(mutex);
    ASSERT_EQ(answers.size(), 2u);
    for (const MessageData& answer : answers) {
        EXPECT_EQ(answer.messageId, theirs.messageId);
        EXPECT_EQ(answer.replyTo, theirs.replyTo);
        EXPECT_TRUE(answer.errorText.isEmpty()) << answer.errorText.toStdString();
    }

    // Stopped while a save is in hand, the server answers it before it exits.
    const QString last = freeGroup(kFirst);
    clickItem(0, last);
    stopServer();
    qputenv("ZAVEK_SERVER_HOLD_MS", "1500");
    ASSERT_NO_FATAL_FAILURE(startServer());
    qunsetenv("ZAVEK_SERVER_HOLD_MS");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return status().startsWith(QStringLiteral("Connected to the server")); }, 10000))
        << status().toStdString();
    MessageBus::Instance().setTimeoutMs(3000);
    const std::size_t shown = boxes.shown().size();
    clickSave();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->canReadLine(); }, 10000));
    server->terminate();
    EXPECT_TRUE(server->waitForFinished(10000));
    EXPECT_EQ(server->exitCode(), 0);
    EXPECT_TRUE(storedCodes(kFirst).contains(last));
    // The answer reached the shell: nothing waits for it, and the save is shown as done.
    EXPECT_TRUE(QTest::qWaitFor([&] { return MessageBus::Instance().outstanding() == 0; }, 1000));
    EXPECT_TRUE(isChecked(0, last));
    // Unanswered, the save would be given up at the time-out and Save offered again.
    EXPECT_FALSE(QTest::qWaitFor(
        [&] {
            return status().contains(QStringLiteral("your changes are still pending")) ||
                   window->toolbarAction(shell::MainWindow::kSave)->isEnabled();
        },
        3000))
        << status().toStdString();
    EXPECT_EQ(boxes.shown().size(), shown);
}

class SignIn : public ShellScenario, public ::testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(Tiers, SignIn, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Server" : "InProcess"; });

TEST_P(SignIn, WrongPasswordAndUnknownAdministratorGetTheSameMessage) {
    if (GetParam()) {
        ASSERT_NO_FATAL_FAILURE(useServer());
    }
    QString wrongPassword;
    QString unknown;
    EXPECT_FALSE(signIn(QStringLiteral("admin"), QStringLiteral("nope"), &wrongPassword));
    EXPECT_FALSE(signIn(QStringLiteral("nobody"), QStringLiteral("zavek-demo"), &unknown));
    EXPECT_FALSE(wrongPassword.isEmpty());
    EXPECT_EQ(wrongPassword, unknown);
}

} // namespace
} // namespace zavek::testing

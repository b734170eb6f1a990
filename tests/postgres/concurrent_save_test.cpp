// Two administrators saving the same officer at the same moment, each on a connection and a
// request processor of their own, repeated many times, on SQLite and on PostgreSQL.

#include "backend/authenticator.h"
#include "backend/demo_data.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "tests/postgres/requests.h"
#include "tests/postgres/test_database.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <latch>
#include <optional>
#include <thread>

namespace zavek::testing {
namespace {

constexpr int kRounds = 15;

class ConcurrentSaves : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};
    std::optional<Connection> connection;
    QString sessions[2];
    QStringList agencies;
    QStringList groups;

    void SetUp() override {
        ZAVEK_REQUIRE_DATABASE(database);
        connection.emplace(database.location());
        backend::migrate(db());
        backend::seedDemoData(db());
        agencies = catalogueCodes(db(), QStringLiteral("NW"), QStringLiteral("A"));
        groups = catalogueCodes(db(), QStringLiteral("NW"), QStringLiteral("P"));
        ASSERT_GE(agencies.size(), 3);
        ASSERT_GE(groups.size(), 2);
        backend::Authenticator authenticator(db());
        for (auto& s : sessions)
            s = authenticator
                    .signIn(QString::fromLatin1(backend::kDemoAdminId),
                            QString::fromLatin1(backend::kDemoAdminPassword))
                    .token;
    }
    QSqlDatabase& db() { return connection->db(); }

    // Both requests go to the back end at the same moment; the replies come back in order.
    std::pair<MessageData, MessageData> together(const MessageData& first,
                                                 const MessageData& second) {
        std::latch start(2);
        MessageData replies[2];
        auto administrator = [&](int i, const MessageData& request) {
            Connection own(database.location());
            backend::RequestProcessor processor(own.db());
            start.arrive_and_wait();
            replies[i] = processor.process(request);
        };
        std::thread a(administrator, 0, std::cref(first));
        std::thread b(administrator, 1, std::cref(second));
        a.join();
        b.join();
        return {replies[0], replies[1]};
    }

    int agencyCount(const std::set<QString>& held) const {
        int n = 0;
        for (const auto& code : held)
            n += agencies.contains(code) ? 1 : 0;
        return n;
    }

    int rowsFor(const QString& officer) {
        QSqlQuery q(db());
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM OFFICER_GROUP WHERE INSP_ID = ?"));
        q.addBindValue(officer);
        q.exec();
        return q.next() ? q.value(0).toInt() : -1;
    }
};

TEST_P(ConcurrentSaves, TwoAgencyChangesAtOnceLeaveExactlyOneAgencyAndLoseNothing) {
    for (int round = 0; round < kRounds; ++round) {
        const QString officer = QStringLiteral("RACE%1").arg(round);
        addOfficer(db(), officer, {agencies[0]});
        const QString ids[2] = {newMessageId(), newMessageId()};
        const auto [r0, r1] = together(
            saveRequest(sessions[0], officer,
                        {{agencies[0], "DEL"}, {agencies[1], "ADD"}, {groups[0], "ADD"}}, ids[0]),
            saveRequest(sessions[1], officer,
                        {{agencies[0], "DEL"}, {agencies[2], "ADD"}, {groups[1], "ADD"}}, ids[1]));
        const MessageData* replies[2] = {&r0, &r1};
        const std::set<QString> held = storedMemberships(db(), officer);
        EXPECT_EQ(agencyCount(held), 1) << "round " << round;
        // Taken one after the other, the second save would leave two agencies: exactly one
        // of them must win, entirely, and the other must change nothing.
        int applied = 0;
        for (int i = 0; i < 2; ++i) {
            const bool ok = replies[i]->errorText.isEmpty();
            applied += ok ? 1 : 0;
            EXPECT_EQ(held.count(groups[i]) == 1, ok) << "round " << round << " save " << i;
            EXPECT_EQ(held.count(agencies[i + 1]) == 1, ok) << "round " << round << " save " << i;
            EXPECT_EQ(auditRows(db(), officer, ids[i]), ok ? 3 : 0) << "round " << round;
            if (!ok) {
                EXPECT_TRUE(replies[i]->errorText.contains(QStringLiteral("exactly one agency")))
                    << replies[i]->errorText.toStdString();
            }
        }
        EXPECT_EQ(applied, 1) << "round " << round;
        EXPECT_EQ(rowsFor(officer), static_cast<int>(held.size()));
    }
}

// An officer left without an agency (older data) gets one from each of two administrators at
// once: neither save touches a membership the other touches, so only the officer's row lock,
// taken first by every save, keeps the officer from ending with two.
TEST_P(ConcurrentSaves, TwoFirstAgenciesAtOnceGiveTheOfficerOnlyOne) {
    for (int round = 0; round < kRounds; ++round) {
        const QString officer = QStringLiteral("SKEW%1").arg(round);
        addOfficer(db(), officer, {groups[0]});
        const auto [r0, r1] = together(saveRequest(sessions[0], officer, {{agencies[1], "ADD"}}),
                                       saveRequest(sessions[1], officer, {{agencies[2], "ADD"}}));
        const std::set<QString> held = storedMemberships(db(), officer);
        EXPECT_EQ(agencyCount(held), 1) << "round " << round;
        EXPECT_NE(r0.errorText.isEmpty(), r1.errorText.isEmpty()) << "round " << round;
    }
}

TEST_P(ConcurrentSaves, TwoAdditionsAtOnceAreBothKept) {
    for (int round = 0; round < kRounds; ++round) {
        const QString officer = QStringLiteral("BOTH%1").arg(round);
        addOfficer(db(), officer, {agencies[0]});
        const auto [r0, r1] = together(saveRequest(sessions[0], officer, {{groups[0], "ADD"}}),
                                       saveRequest(sessions[1], officer, {{groups[1], "ADD"}}));
        EXPECT_TRUE(r0.errorText.isEmpty()) << r0.errorText.toStdString();
        EXPECT_TRUE(r1.errorText.isEmpty()) << r1.errorText.toStdString();
        EXPECT_EQ(storedMemberships(db(), officer),
                  (std::set<QString>{agencies[0], groups[0], groups[1]}))
            << "round " << round;
    }
}

TEST_P(ConcurrentSaves, TheSameAdditionTwiceAtOnceIsStoredAndAuditedOnce) {
    for (int round = 0; round < kRounds; ++round) {
        const QString officer = QStringLiteral("SAME%1").arg(round);
        addOfficer(db(), officer, {agencies[0]});
        const QString ids[2] = {newMessageId(), newMessageId()};
        const auto [r0, r1] =
            together(saveRequest(sessions[0], officer, {{groups[0], "ADD"}}, ids[0]),
                     saveRequest(sessions[1], officer, {{groups[0], "ADD"}}, ids[1]));
        EXPECT_TRUE(r0.errorText.isEmpty()) << r0.errorText.toStdString();
        EXPECT_TRUE(r1.errorText.isEmpty()) << r1.errorText.toStdString();
        EXPECT_EQ(rowsFor(officer), 2) << "round " << round;
        EXPECT_EQ(auditRows(db(), officer, ids[0]) + auditRows(db(), officer, ids[1]), 1)
            << "round " << round;
    }
}

// Two sessions open the same officer; one saves, then the other saves from its older view.
// The second save is refused, naming who changed what, only when it touches what the first
// changed; a refused view shows what is stored now, so that saving it again goes through.
TEST_P(ConcurrentSaves, ASaveFromAStaleViewIsRefusedOnlyWhenItCollides) {
    struct Case {
        const char* name;
        std::vector<Change> first;
        std::vector<Change> second;
        bool collides;
    };
    const Case cases[] = {
        {"SameGroup", {{groups[0], "ADD"}}, {{groups[0], "ADD"}}, true},
        {"OtherGroups", {{groups[0], "ADD"}}, {{groups[1], "ADD"}}, false},
        {"BothChangeTheAgency",
         {{agencies[0], "DEL"}, {agencies[1], "ADD"}},
         {{agencies[0], "DEL"}, {agencies[2], "ADD"}},
         true},
        {"AgencyThenGroup",
         {{agencies[0], "DEL"}, {agencies[1], "ADD"}},
         {{groups[1], "ADD"}},
         false},
    };
    int n = 0;
    for (const Case& c : cases)
        for (int firstSaver = 0; firstSaver < 2; ++firstSaver) {
            const QString officer = QStringLiteral("STALE%1").arg(n++);
            addOfficer(db(), officer, {agencies[0]});
            backend::RequestProcessor processor(db());
            const QString views[2] = {newMessageId(), newMessageId()};
            for (int i = 0; i < 2; ++i)
                ASSERT_EQ(
                    processor.process(retrievalRequest(sessions[i], officer, views[i])).errorText,
                    QString());
            const int other = 1 - firstSaver;
            ASSERT_EQ(
                processor
                    .process(saveRequest(sessions[firstSaver], officer, c.first, views[firstSaver]))
                    .errorText,
                QString())
                << c.name;
            const std::set<QString> afterFirst = storedMemberships(db(), officer);
            const MessageData stale =
                processor.process(saveRequest(sessions[other], officer, c.second, views[other]));
            EXPECT_EQ(stale.errorText.isEmpty(), !c.collides)
                << c.name << ": " << stale.errorText.toStdString();
            EXPECT_EQ(heldInReply(stale), storedMemberships(db(), officer)) << c.name;
            if (!c.collides)
                continue;
            EXPECT_TRUE(stale.errorText.startsWith(
                QStringLiteral("Security groups of Test officer %1 were changed by Demo "
                               "Administrator (NW) at ")
                    .arg(officer)))
                << stale.errorText.toStdString();
            EXPECT_TRUE(stale.errorText.contains(QStringLiteral("since you opened them: ")) &&
                        stale.errorText.contains(QStringLiteral(" added")) &&
                        stale.errorText.contains(QStringLiteral("Your changes were not saved")))
                << stale.errorText.toStdString();
            EXPECT_EQ(storedMemberships(db(), officer), afterFirst) << c.name;
            EXPECT_EQ(auditRows(db(), officer, views[other]), 0) << c.name;
            // The refusal showed the stored state: the same view saves again without a refusal
            // (the agency case then ends with two agencies unless the screen clears one, which
            // the back end refuses on its own grounds).
            const MessageData again =
                processor.process(saveRequest(sessions[other], officer, c.second, views[other]));
            EXPECT_FALSE(again.errorText.contains(QStringLiteral("since you opened them")))
                << c.name << ": " << again.errorText.toStdString();
        }
}

INSTANTIATE_TEST_SUITE_P(BothDatabases, ConcurrentSaves,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(engineName(info.param)); });

} // namespace
} // namespace zavek::testing

// Two administrators saving the same officer, each on a connection and a request processor of
// their own, repeated many times, on SQLite and on PostgreSQL.

#include "backend/request_processor.h"
#include "tests/postgres/test_database.h"

#include <gtest/gtest.h>

#include <latch>
#include <optional>
#include <thread>

using namespace Qt::Literals::StringLiterals;

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
        sessions[0] = seededSession(db());
        sessions[1] = demoSession(db());
        agencies = catalogueCodes(db(), u"A"_s);
        groups = catalogueCodes(db(), u"P"_s);
        ASSERT_GE(agencies.size(), 3);
        ASSERT_GE(groups.size(), 2);
    }
    QSqlDatabase& db() { return connection->db(); }
    // "A1" is the second agency of the catalogue, "P0" the first other group.
    QString code(const char* c) const { return (c[0] == 'A' ? agencies : groups)[c[1] - '0']; }
    std::vector<Change> changes(const std::vector<std::pair<const char*, const char*>>& list) {
        std::vector<Change> out;
        for (const auto& [c, action] : list)
            out.push_back({code(c), QString::fromLatin1(action)});
        return out;
    }
    int agencyCount(const std::set<QString>& held) const {
        return static_cast<int>(std::count_if(
            held.begin(), held.end(), [&](const QString& c) { return agencies.contains(c); }));
    }
};

// Both requests reach the back end at the same moment. Whatever the order, the officer ends
// with exactly one agency, a save is applied entirely or not at all, and what is stored is
// what the applied saves asked for.
TEST_P(ConcurrentSaves, SavesAtTheSameMomentAreEachAllOrNothing) {
    using Changes = std::vector<std::pair<const char*, const char*>>;
    struct Case {
        const char* name;
        const char* initial;
        Changes first, second;
        int applied;         // how many of the two are saved
        int audited;         // audit rows of both together
        const char* refusal; // what the refused one says
    };
    const Case cases[] = {
        // One after the other, the second would leave two agencies.
        {"TwoAgencyChanges",
         "A0",
         {{"A0", "DEL"}, {"A1", "ADD"}, {"P0", "ADD"}},
         {{"A0", "DEL"}, {"A2", "ADD"}, {"P1", "ADD"}},
         1,
         3,
         "exactly one agency"},
        // No membership in common: only the officer's row lock keeps out a second agency.
        {"TwoFirstAgencies", "P0", {{"A1", "ADD"}}, {{"A2", "ADD"}}, 1, 1, ""},
        {"TwoAdditions", "A0", {{"P0", "ADD"}}, {{"P1", "ADD"}}, 2, 2, ""},
        {"TheSameAdditionTwice", "A0", {{"P0", "ADD"}}, {{"P0", "ADD"}}, 2, 1, ""},
    };
    int n = 0;
    for (const Case& c : cases)
        for (int round = 0; round < kRounds; ++round) {
            const QString officer = u"RACE%1"_s.arg(n++);
            const std::string where = std::string(c.name) + " round " + std::to_string(round);
            addOfficer(db(), officer, {code(c.initial)});
            const MessageData requests[2] = {saveRequest(sessions[0], officer, changes(c.first)),
                                             saveRequest(sessions[1], officer, changes(c.second))};
            MessageData replies[2];
            std::latch start(2);
            auto administrator = [&](int i) {
                Connection own(database.location());
                backend::RequestProcessor processor(own.db());
                start.arrive_and_wait();
                replies[i] = processor.process(requests[i]);
            };
            std::thread a(administrator, 0), b(administrator, 1);
            a.join();
            b.join();

            std::set<QString> expected{code(c.initial)};
            int applied = 0, audited = 0;
            for (int i = 0; i < 2; ++i) {
                audited += auditRows(db(), officer, requests[i].messageId);
                if (!replies[i].errorText.isEmpty()) {
                    EXPECT_EQ(auditRows(db(), officer, requests[i].messageId), 0) << where;
                    EXPECT_TRUE(replies[i].errorText.contains(QLatin1String(c.refusal)))
                        << where << ": " << replies[i].errorText.toStdString();
                    continue;
                }
                ++applied;
                for (const auto& row : requests[i].tables[0].table.rows)
                    if (row[2] == u"ADD"_s)
                        expected.insert(row[0].toString());
                    else
                        expected.erase(row[0].toString());
            }
            EXPECT_EQ(applied, c.applied) << where;
            EXPECT_EQ(audited, c.audited) << where;
            const std::set<QString> held = storedMemberships(db(), officer);
            EXPECT_EQ(agencyCount(held), 1) << where;
            EXPECT_EQ(held, expected) << where;
        }
}

// Two sessions open the same officer; one saves, then the other saves from its older view.
// The second save is refused, naming who changed what, only when it touches what the first
// changed; a refused view shows what is stored now, so that saving it again goes through.
TEST_P(ConcurrentSaves, ASaveFromAStaleViewIsRefusedOnlyWhenItCollides) {
    using Changes = std::vector<std::pair<const char*, const char*>>;
    struct Case {
        const char* name;
        Changes first, second;
        bool collides;
    };
    const Case cases[] = {
        {"SameGroup", {{"P0", "ADD"}}, {{"P0", "ADD"}}, true},
        {"OtherGroups", {{"P0", "ADD"}}, {{"P1", "ADD"}}, false},
        {"BothChangeTheAgency",
         {{"A0", "DEL"}, {"A1", "ADD"}},
         {{"A0", "DEL"}, {"A2", "ADD"}},
         true},
        {"AgencyThenGroup", {{"A0", "DEL"}, {"A1", "ADD"}}, {{"P1", "ADD"}}, false},
    };
    int n = 0;
    backend::RequestProcessor processor(db());
    for (const Case& c : cases)
        for (int firstSaver = 0; firstSaver < 2; ++firstSaver) {
            const QString officer = u"STALE%1"_s.arg(n++);
            addOfficer(db(), officer, {agencies[0]});
            const QString views[2] = {newMessageId(), newMessageId()};
            for (int i = 0; i < 2; ++i)
                ASSERT_EQ(
                    processor.process(retrievalRequest(sessions[i], officer, views[i])).errorText,
                    QString());
            const int other = 1 - firstSaver;
            ASSERT_EQ(processor
                          .process(saveRequest(sessions[firstSaver], officer, changes(c.first),
                                               views[firstSaver]))
                          .errorText,
                      QString())
                << c.name;
            const std::set<QString> afterFirst = storedMemberships(db(), officer);
            const MessageData stale = processor.process(
                saveRequest(sessions[other], officer, changes(c.second), views[other]));
            EXPECT_EQ(stale.errorText.isEmpty(), !c.collides)
                << c.name << ": " << stale.errorText.toStdString();
            EXPECT_EQ(heldInReply(stale), storedMemberships(db(), officer)) << c.name;
            if (!c.collides)
                continue;
            const QString& text = stale.errorText;
            EXPECT_TRUE(text.startsWith(u"Security groups of Test officer %1 were "
                                        "changed by Demo Administrator (NW) at "_s.arg(officer)) &&
                        text.contains(u"since you opened them: "_s) && text.contains(u" added"_s) &&
                        text.contains(u"Your changes were not saved"_s))
                << text.toStdString();
            EXPECT_EQ(storedMemberships(db(), officer), afterFirst) << c.name;
            EXPECT_EQ(auditRows(db(), officer, views[other]), 0) << c.name;
            // The refusal showed the stored state: the same view saves again without a refusal
            // (the agency case then ends with two agencies, which is refused on its own grounds).
            const MessageData again = processor.process(
                saveRequest(sessions[other], officer, changes(c.second), views[other]));
            EXPECT_FALSE(again.errorText.contains(u"since you opened them"_s))
                << c.name << ": " << again.errorText.toStdString();
        }
}

ZAVEK_BOTH_DATABASES(ConcurrentSaves);

} // namespace
} // namespace zavek::testing

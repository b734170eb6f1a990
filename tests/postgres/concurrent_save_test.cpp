// Two administrators saving the same officer, each on a connection and a request processor of
// their own, repeated many times, on SQLite and on PostgreSQL; and the upgrade of a first
// release's database.

#include "backend/audit.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "backend/sql.h"
#include "tests/postgres/test_database.h"

#include <gtest/gtest.h>

#include <latch>

#include <thread>

namespace zavek::testing {
namespace {

using Changes = std::vector<std::pair<const char*, const char*>>;

class ConcurrentSaves : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override { ZAVEK_REQUIRE_DATABASE(database); }
    QSqlDatabase& db() { return connection.db(); }

    TestDatabase database{GetParam()};
    Connection connection{database.location()}; // a file of its own when PostgreSQL is skipped
    QString sessions[2] = {seededSession(db()), seededSession(db())};
    QStringList agencies = catalogueCodes(db(), "A"), groups = catalogueCodes(db(), "P");
    // "A1" is the second agency of the catalogue, "P0" the first other group.
    QString code(const char* c) const { return (c[0] == 'A' ? agencies : groups)[c[1] - '0']; }
    // Administrator i's save of the changes, from the view of the retrieval `view`.
    MessageData saveBy(int i, const QString& officer, const Changes& list,
                       const QString& view = newMessageId()) {
        std::vector<Change> out;
        for (const auto& [c, action] : list)
            out.push_back({code(c), action});
        return saveRequest(sessions[i], officer, out, view);
    }
    int audited(const QString& officer, const QString& id) {
        return backend::scalar(
                   db(), "SELECT COUNT(*) FROM AUDIT_LOG WHERE INSP_ID = ? AND MESSAGE_ID = ?",
                   {officer, id})
            .toInt();
    }
};

// Both requests reach the back end at the same moment. Whatever the order, the officer ends
// with exactly one agency, a save is applied entirely or not at all, and what is stored is
// what the applied saves asked for.
TEST_P(ConcurrentSaves, SavesAtTheSameMomentAreEachAllOrNothing) {
    // The first membership, both saves' changes, the saves applied, the audit rows of both
    // together, and what the refused one says.
    // clang-format off
    const std::tuple<const char*, const char*, Changes, Changes, int, int, const char*> cases[] = {
        // One after the other, the second would leave two agencies.
        {"TwoAgencyChanges", "A0", {{"A0", "DEL"}, {"A1", "ADD"}, {"P0", "ADD"}},
         {{"A0", "DEL"}, {"A2", "ADD"}, {"P1", "ADD"}}, 1, 3, "exactly one agency"},
        // No membership in common: only the officer's row lock keeps out a second agency.
        {"TwoFirstAgencies", "P0", {{"A1", "ADD"}}, {{"A2", "ADD"}}, 1, 1, ""},
        {"TwoAdditions", "A0", {{"P0", "ADD"}}, {{"P1", "ADD"}}, 2, 2, ""},
        {"TheSameAdditionTwice", "A0", {{"P0", "ADD"}}, {{"P0", "ADD"}}, 2, 1, ""}};
    // clang-format on
    int n = 0;
    for (const auto& [name, initial, first, second, wantApplied, wantAudited, refusal] : cases)
        for (int round = 0; round < 15; ++round) {
            const QString officer = QStringLiteral("RACE%1").arg(n++);
            const std::string where = std::string(name) + " round " + std::to_string(round);
            addOfficer(db(), officer, {code(initial)});
            const MessageData requests[2] = {saveBy(0, officer, first), saveBy(1, officer, second)};
            MessageData replies[2];
            std::latch start(2);
            auto administrator = [&](int i) {
                Connection own(database.location());
                backend::RequestProcessor processor(own.db());
                start.arrive_and_wait();
                replies[i] = processor.process(requests[i]);
            };
            std::jthread(administrator, 0), std::jthread(administrator, 1);
            std::set<QString> expected{code(initial)};
            int applied = 0, rows = 0;
            for (int i = 0; i < 2; ++i) {
                rows += audited(officer, requests[i].messageId);
                if (!replies[i].errorText.isEmpty()) {
                    EXPECT_EQ(audited(officer, requests[i].messageId), 0) << where;
                    EXPECT_TRUE(replies[i].errorText.contains(refusal))
                        << where << ": " << replies[i].errorText.toStdString();
                    continue;
                }
                ++applied;
                for (const auto& row : requests[i].tables[0].table.rows)
                    row[2] == "ADD" ? void(expected.insert(row[0].toString()))
                                    : void(expected.erase(row[0].toString()));
            }
            // Exactly one agency, and what the applied saves asked for.
            const std::set<QString> held = storedMemberships(db(), officer);
            const auto heldAgencies =
                std::ranges::count_if(held, [&](auto& g) { return agencies.contains(g); });
            EXPECT_EQ(std::tuple(applied, rows, held, heldAgencies),
                      std::tuple(wantApplied, wantAudited, expected, 1))
                << where;
        }
}

// Two sessions open the same officer; one saves (once or more), then the other saves from its
// older view. The second save is refused, naming who changed what, only when it touches what
// the first changed, each group once as it stands now; a refused view shows what is stored
// now, so that saving it again goes through (the agency case then ends with two agencies,
// which is refused on its own grounds).
TEST_P(ConcurrentSaves, ASaveFromAStaleViewIsRefusedOnlyWhenItCollides) {
    // clang-format off
    const std::tuple<const char*, std::vector<Changes>, Changes, bool, const char*> cases[] = {
        {"SameGroup", {{{"P0", "ADD"}}}, {{"P0", "ADD"}}, true, " added. "},
        {"OtherGroups", {{{"P0", "ADD"}}}, {{"P1", "ADD"}}, false, ""},
        {"BothChangeTheAgency", {{{"A0", "DEL"}, {"A1", "ADD"}}}, {{"A0", "DEL"}, {"A2", "ADD"}}, true, " removed, "},
        {"AgencyThenGroup", {{{"A0", "DEL"}, {"A1", "ADD"}}}, {{"P1", "ADD"}}, false, ""},
        {"AddedAndRemovedAgain", {{{"P0", "ADD"}}, {{"P0", "DEL"}}, {{"P0", "ADD"}}, {{"P0", "DEL"}}},
         {{"P0", "ADD"}}, true, " added and removed again. "}};
    // clang-format on
    int n = 0;
    backend::RequestProcessor backEnd(db());
    for (const auto& [name, firstSaves, second, collides, says] : cases)
        for (int firstSaver = 0; firstSaver < 2; ++firstSaver) {
            const QString officer = QStringLiteral("STALE%1").arg(n++);
            addOfficer(db(), officer, {agencies[0]});
            const QString views[2] = {newMessageId(), newMessageId()};
            for (int i = 0; i < 2; ++i)
                ASSERT_EQ(
                    backEnd.process(retrievalRequest(sessions[i], officer, views[i])).errorText,
                    "");
            const int other = 1 - firstSaver;
            for (const Changes& first : firstSaves)
                ASSERT_EQ(backEnd.process(saveBy(firstSaver, officer, first, views[firstSaver]))
                              .errorText,
                          "")
                    << name;
            const std::set<QString> afterFirst = storedMemberships(db(), officer);
            const MessageData stale = backEnd.process(saveBy(other, officer, second, views[other]));
            const QString& text = stale.errorText;
            EXPECT_EQ(text.isEmpty(), !collides) << name << ": " << text.toStdString();
            EXPECT_EQ(heldInReply(stale), storedMemberships(db(), officer)) << name;
            if (!collides)
                continue;
            EXPECT_TRUE(text.startsWith(QStringLiteral("Security groups of Test officer %1 were "
                                                       "changed by Demo Administrator (NW) at ")
                                            .arg(officer)) &&
                        text.contains(says) &&
                        text.section("since you opened them: ", 1)
                                .section(". Your changes were not saved", 0, 0)
                                .split(", ")
                                .size() == static_cast<qsizetype>(firstSaves[0].size()))
                << text.toStdString();
            EXPECT_EQ(storedMemberships(db(), officer), afterFirst) << name;
            EXPECT_EQ(audited(officer, views[other]), 0) << name;
            EXPECT_FALSE(backEnd.process(saveBy(other, officer, second, views[other]))
                             .errorText.contains("since you opened"))
                << name;
        }
}

// A database made by the first release: its audit rows stay, its plain-text sessions end, and
// the widened audit log takes the new actions and refuses unknown ones.
TEST_P(ConcurrentSaves, AVersionOneDatabaseUpgradesAndKeepsItsAuditRows) {
    TestDatabase first(GetParam()); // of its own: the fixture's is already seeded
    Connection c(first.location());
    ASSERT_EQ(backend::migrate(c.db(), 1), 1);
    const auto count = [&](const QString& where) {
        return backend::scalar(c.db(), "SELECT COUNT(*) FROM " + where).toInt();
    };
    for (const char* sql :
         {"INSERT INTO ADMINISTRATOR VALUES ('admin', 'Admin', 'NW', 'h')",
          "INSERT INTO ADMIN_SESSION VALUES ('plain-token', 'admin', 'NW', 'a', 'b')",
          "INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, GRP_CD, ACTION, MESSAGE_ID) "
          "VALUES ('2026-01-02T03:04:05.000Z', 'admin', 'NW1', 'CFR', 'ADD', 'm-1')"})
        backend::execute(c.db(), sql);
    EXPECT_EQ(backend::migrate(c.db()), backend::kSchemaVersion - 1);
    EXPECT_EQ(backend::schemaVersion(c.db()), backend::kSchemaVersion);
    EXPECT_EQ(count("AUDIT_LOG WHERE ADMIN_ID = 'admin' AND ACTION = 'ADD' AND MESSAGE_ID = 'm-1' "
                    "AND DETAIL IS NULL"),
              1);
    EXPECT_EQ(count("ADMIN_SESSION"), 0);
    const QString insert =
        "INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, ACTION) VALUES ('t', 'admin', ?)";
    for (const QString& action : backend::auditActionTexts()) // each taken, as the count shows
        backend::scalar(c.db(), insert, {action});
    EXPECT_TRUE(attempt([&] { backend::scalar(c.db(), insert, {QStringLiteral("DROP")}); }));
    EXPECT_EQ(count("AUDIT_LOG"), int(backend::auditActionTexts().size()) + 1);
}

ZAVEK_BOTH_DATABASES(ConcurrentSaves);

} // namespace
} // namespace zavek::testing

#include "tests/groups/groups_fixture.h"

namespace zavek::testing {
namespace {

class Loading : public GroupsTest {
protected:
    void SetUp() override {
        rows({QStringLiteral("'NW','P','G1','Alpha'"), QStringLiteral("'NW','P','X','Both'"),
              QStringLiteral("'NW','P','D','Dup first'"),
              QStringLiteral("'NW','P','D','Dup second'"),
              QStringLiteral("'NW','A','A1','Agency One'"),
              QStringLiteral("'NW','A','X','Both agency'")});
        rules->InitializeListView();
        state.msInspId = QStringLiteral("NW1");
        state.msOfficerName = QStringLiteral("Ann Smith");
        state.msMessageId = QStringLiteral("M1");
    }
    // Stores a reply holding these (officer, code) rows under the document's key.
    void reply(const std::vector<std::pair<QVariant, QVariant>>& rowsIn, bool withTable = true) {
        MessageData m;
        m.replyTo = state.documentIdentity;
        m.messageId = state.msMessageId;
        if (withTable) {
            TableData t;
            t.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
            for (const auto& [id, code] : rowsIn)
                t.rows.push_back({id, code});
            m.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), t});
        }
        ReplyStore::Instance().put(m);
    }
    bool on(const GroupListModel& m, int row) const {
        return m.item(row).checked && m.item(row).tag;
    }
    int row(const GroupListModel& m, const QString& text) const {
        for (int r = 0; r < m.count(); ++r)
            if (m.item(r).text == text)
                return r;
        return -1;
    }
};

TEST_F(Loading, HeldCodesAreTickedAndStored) {
    reply({{QStringLiteral("NW1"), QStringLiteral("G1")},
           {QStringLiteral("NW1"), QStringLiteral("A1")}});
    groups.setChecked(row(groups, QStringLiteral("Both")), true); // a previous officer's mark
    rules->LoadOfficerGroups();
    EXPECT_TRUE(on(groups, row(groups, QStringLiteral("Alpha"))));
    EXPECT_TRUE(on(agencies, row(agencies, QStringLiteral("Agency One"))));
    EXPECT_FALSE(groups.item(row(groups, QStringLiteral("Both"))).checked);
    EXPECT_EQ(form.captionText, QStringLiteral("Current Officer : Ann Smith"));
    EXPECT_FALSE(rules->DataChanged());
}

TEST_F(Loading, NoTableLeavesEverythingClearWithTheCaption) {
    groups.setChecked(0, true);
    reply({}, false);
    rules->LoadOfficerGroups();
    EXPECT_FALSE(groups.item(0).checked);
    EXPECT_EQ(form.captionText, QStringLiteral("Current Officer : Ann Smith"));
    EXPECT_TRUE(logSources().isEmpty());
}

TEST_F(Loading, OtherOfficersRowsAreSkippedAndBlanksTrimmed) {
    reply({{QStringLiteral("NW2"), QStringLiteral("G1")},
           {QStringLiteral("  NW1 "), QStringLiteral("A1")},
           {QVariant(), QStringLiteral("G1")}});
    rules->LoadOfficerGroups();
    EXPECT_FALSE(groups.item(row(groups, QStringLiteral("Alpha"))).checked);
    EXPECT_TRUE(on(agencies, row(agencies, QStringLiteral("Agency One"))));
}

TEST_F(Loading, CodesMatchWithTheirLetterCase) {
    reply({{QStringLiteral("NW1"), QStringLiteral("g1")}});
    rules->LoadOfficerGroups();
    EXPECT_FALSE(groups.item(row(groups, QStringLiteral("Alpha"))).checked);
}

TEST_F(Loading, ACodeInBothListsTicksOnlyTheGroup) {
    reply({{QStringLiteral("NW1"), QStringLiteral("X")}});
    rules->LoadOfficerGroups();
    EXPECT_TRUE(on(groups, row(groups, QStringLiteral("Both"))));
    EXPECT_FALSE(agencies.item(row(agencies, QStringLiteral("Both agency"))).checked);
}

TEST_F(Loading, ADuplicateCodeTicksTheFirstItemOnly) {
    reply({{QStringLiteral("NW1"), QStringLiteral("D")},
           {QStringLiteral("NW1"), QStringLiteral("D")}});
    rules->LoadOfficerGroups();
    EXPECT_TRUE(on(groups, row(groups, QStringLiteral("Dup first"))));
    EXPECT_FALSE(groups.item(row(groups, QStringLiteral("Dup second"))).checked);
}

TEST_F(Loading, ANullCodeEndsTheWalkKeepingEarlierTicks) {
    reply({{QStringLiteral("NW1"), QStringLiteral("G1")},
           {QStringLiteral("NW1"), QVariant()},
           {QStringLiteral("NW1"), QStringLiteral("A1")}});
    rules->LoadOfficerGroups();
    EXPECT_TRUE(on(groups, row(groups, QStringLiteral("Alpha"))));
    EXPECT_FALSE(agencies.item(row(agencies, QStringLiteral("Agency One"))).checked);
    EXPECT_EQ(logSources(), QStringList{QStringLiteral("ZAVEK_Security.LoadOfficerGroups")});
    EXPECT_EQ(form.captionText, QStringLiteral("Current Officer : Ann Smith"))
        << "set in every case";
}

TEST_F(Loading, TheIdentifierIsComparedAsStored) {
    state.msInspId = QStringLiteral(" NW1");
    reply({{QStringLiteral("NW1"), QStringLiteral("G1")}});
    rules->LoadOfficerGroups();
    EXPECT_FALSE(groups.item(row(groups, QStringLiteral("Alpha"))).checked);
}

TEST_F(Loading, SetCheckedReportsWhetherItFoundTheCode) {
    EXPECT_TRUE(rules->SetChecked(QStringLiteral("A1"), 1));
    EXPECT_FALSE(rules->SetChecked(QStringLiteral("A1"), 0));
    EXPECT_FALSE(rules->SetChecked(QStringLiteral("A1"), 5));
    EXPECT_EQ(logSources(), QStringList{QStringLiteral("ZAVEK_Security.SetChecked")});
}

} // namespace
} // namespace zavek::testing

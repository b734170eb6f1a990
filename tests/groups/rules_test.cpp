#include "groups/catalogue_query.h"
#include "groups/document_state.h"
#include "tests/support/screen.h"

#include <QCheckBox>
#include <QLabel>

namespace zavek::testing {
namespace {

TEST(CatalogueQuery, TheRegionIsAQuotedLiteralInTheExactText) {
    const QString tail = QStringLiteral("'  order by GRP_TYP_CD, GRP_DES");
    const QString head = QStringLiteral("Select * from VRD_GROUP Where REGION='");
    EXPECT_EQ(catalogueQuery(QStringLiteral("NW")), head + QStringLiteral("NW") + tail);
    EXPECT_EQ(catalogueQuery(QStringLiteral("O'BRIEN")), head + QStringLiteral("O''BRIEN") + tail);
}

// Records the column widths the load sets; can fail them.
struct Geometry final : IListGeometry {
    int listWidthTwips(int) override { return 3870; }
    void setColumnWidthTwips(int list, int column, int twips) override {
        if (failWith)
            fail(failWith, QStringLiteral("The list cannot be laid out."));
        widths << QStringLiteral("%1.%2=%3").arg(list).arg(column).arg(twips);
    }
    std::uint32_t failWith = 0;
    QStringList widths;
};

struct CatalogueCase {
    const char* name;
    QStringList rows;
    const char* region;
    std::uint32_t layoutFailure;
    bool dropTable;
    QStringList groups, agencies; // "description/code"
    const char* logged;           // a word of the one failure logged; null: none
};
const CatalogueCase kCatalogue[] = {
    {"RegionTrimmedAndUpperCased",
     {"'NW','P','G1','Alpha'", "'nw','P','G2','Lower region'", "'SE','P','G3','Other region'"},
     " nw ", 0, false, {"Alpha/G1"}, {}, nullptr},
    {"OnlyTypesPAndAInTypeThenDescriptionOrder",
     {"'NW','P','G2','Beta'", "'NW','A','A1','Agency One'", "'NW','P','G1','Alpha'",
      "'NW','a','X1','lower a'", "'NW','p','X2','lower p'", "'NW','A ','X3','A and blank'",
      "'NW','Q','X4','other'", "'NW',NULL,'X5','no type'"},
     "NW", 0, false, {"Alpha/G1", "Beta/G2"}, {"Agency One/A1"}, nullptr},
    {"EveryItemOfARepeatedCode",
     {"'NW','P','X','Group X'", "'NW','A','X','Agency X'", "'NW','P','X','Group X again'"}, "NW",
     0, false, {"Group X/X", "Group X again/X"}, {"Agency X/X"}, nullptr},
    {"QuotedRegionStaysALiteral", {"'O''BRIEN','P','G1','Quoted region'", "'NW','P','G2','Other'"},
     "o'brien", 0, false, {"Quoted region/G1"}, {}, nullptr},
    {"EmptyCatalogue", {}, "NW", 0, false, {}, {}, nullptr},
    // Ordered by description, the null comes first in SQLite: the load ends at once.
    {"NullDescriptionEndsTheLoad",
     {"'NW','P','G1','Alpha'", "'NW','P','G2',NULL", "'NW','P','G3','Gamma'"}, "NW", 0, false,
     {"/"}, {}, "GRP_DES"},
    {"NullCodeEndsTheLoad", {"'NW','A','A1','Agency'", "'NW','P',NULL,'Beta'", "'NW','P','G3','G'"},
     "NW", 0, false, {"Beta/"}, {"Agency/A1"}, "GRP_CD"},
    {"FailingQuery", {}, "NW", 0, true, {}, {}, "VRD_GROUP"},
    {"StopCodeWhileLayingOutIsNotLogged", {"'NW','P','G1','Alpha'"}, "NW", codes::kStop, false, {},
     {}, nullptr},
    {"OtherFailureWhileLayingOut", {"'NW','P','G1','Alpha'"}, "NW", codes::kInvalidArgument, false,
     {}, {}, "laid out"},
};

class Catalogue : public Screen, public ::testing::WithParamInterface<CatalogueCase> {};

TEST_P(Catalogue, FillsBothListsOrEndsAtTheFirstFailureLoggedOnce) {
    const CatalogueCase& c = GetParam();
    catalogue(c.rows);
    if (c.dropTable)
        db.exec({QStringLiteral("DROP TABLE VRD_GROUP")});
    SessionInfo::Instance().establish(QStringLiteral("s"), QString::fromLatin1(c.region),
                                      db.connectionName());
    Geometry geometry;
    geometry.failWith = c.layoutFailure;
    GroupListModel lists[2];
    GroupRules rules(DocumentServices{doc->state(), *doc, fake.platform(),
                                      TrapContext{QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                                                  QStringLiteral("ZAVEK_Security.")}},
                     lists[0], lists[1], geometry);
    rules.InitializeListView();
    for (int i = 0; i < 2; ++i) {
        QStringList texts;
        for (int r = 0; r < lists[i].count(); ++r)
            texts << lists[i].item(r).text + QLatin1Char('/') + lists[i].item(r).code;
        EXPECT_EQ(texts, i ? c.agencies : c.groups) << c.name << " list " << i;
    }
    if (!c.layoutFailure) {
        EXPECT_EQ(geometry.widths, (QStringList{"0.1=3870", "0.2=0", "1.1=3870", "1.2=0"}));
    }
    const auto& logged = ErrorLogger::Instance().recent();
    ASSERT_EQ(logged.size(), c.logged ? 1u : 0u) << c.name;
    if (c.logged) {
        EXPECT_EQ(logged[0].source, QStringLiteral("ZAVEK_Security.InitializeListView"));
        EXPECT_TRUE(logged[0].description.contains(QLatin1String(c.logged))) << c.name;
    }
}
INSTANTIATE_TEST_SUITE_P(Load, Catalogue, ::testing::ValuesIn(kCatalogue),
                         [](const auto& info) { return std::string(info.param.name); });

// A click or the reset box: without an officer it is undone and Save stays off; with one,
// Save follows the change test. A failing step is logged under its handler.
struct ClickCase {
    const char* name;
    bool officer;
    void (*act)(Screen&);
    std::vector<bool> saveCalls;
    bool pending;
    const char* status;
    QStringList logged;
};
void reset(Screen& s, bool on) { s.doc->form().resetPassword()->setChecked(on); }
const ClickCase kClicks[] = {
    {"TickWithoutAnOfficerIsUndone", false, [](Screen& s) { s.tick(0, "CFU", true); }, {false},
     false, "Ready", {}},
    // The box is cleared through its own change handler once more.
    {"ResetWithoutAnOfficerIsCleared", false, [](Screen& s) { reset(s, true); }, {false, false},
     false, "Ready", {}},
    {"TickTurnsSaveOn", true, [](Screen& s) { s.tick(0, "CFU", true); }, {true}, true,
     "Checking for data changes", {}},
    {"TickingBackTurnsItOff", true,
     [](Screen& s) { s.tick(0, "CFU", true), s.tick(0, "CFU", false); }, {true, false}, false,
     "Checking for data changes", {}},
    {"ResetAloneIsAChange", true, [](Screen& s) { reset(s, true); }, {true}, true,
     "Checking for data changes", {}},
    {"ResetClearedAgain", true, [](Screen& s) { reset(s, true), reset(s, false); }, {true, false},
     false, "Checking for data changes", {}},
    {"TwoAgenciesRaiseNothingWhileEditing", true, [](Screen& s) { s.tick(1, "CUS", true); },
     {true}, true, "Checking for data changes", {}},
    {"FailingChangeTestCountsAsNoChange", true,
     [](Screen& s) {
         s.host.statusFailures[QStringLiteral("Checking for data changes")] = codes::kUnexpected;
         s.tick(0, "CFU", true);
     },
     {false}, true, "Displaying Security Group for Ann Smith", {"ZAVEK_Security.DataChanged"}},
    {"FailingButtonIsLeftAsItWas", true,
     [](Screen& s) { s.host.failingButtons = {7}, s.tick(0, "CFU", true); }, {}, true,
     "Checking for data changes", {"ZAVEK_Security.lvOfficerGroups_Click"}},
};

class Clicks : public Screen, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(Clicks, SaveFollowsTheChangesOfAShownOfficer) {
    const ClickCase& c = GetParam();
    stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
    doc->UserDocument_Show();
    if (c.officer)
        pick(QStringLiteral("NW001"));
    deliver();
    host.toolbar.clear();
    ErrorLogger::Instance().clearRecent();
    c.act(*this);
    std::vector<bool> calls;
    for (const ToolbarCall& call : host.toolbar)
        if (call.button == 7 && call.tag == QLatin1String("SEC1"))
            calls.push_back(call.enabled);
    EXPECT_EQ(calls, c.saveCalls) << c.name;
    EXPECT_EQ(doc->rules().hasChanges(), c.pending) << c.name;
    EXPECT_EQ(host.status(), QString::fromLatin1(c.status)) << c.name;
    EXPECT_EQ(logSources(), c.logged) << c.name;
    EXPECT_TRUE(fake.messageBox.shown().empty()) << c.name;
}
INSTANTIATE_TEST_SUITE_P(Edit, Clicks, ::testing::ValuesIn(kClicks),
                         [](const auto& info) { return std::string(info.param.name); });

using Rules = Screen;

TEST_F(Rules, CheckGroupsStoresClearsOrRestoresEveryItem) {
    doc->UserDocument_Show();
    const struct {
        std::int32_t mode;
        const char* after; // checked and stored of groups 0 and 1, then agency 0
    } cases[] = {{Store, "110011"}, {Clear, "000000"}, {Restore, "001100"}, {3, "100110"},
                 {-1, "100110"}};
    for (const auto& c : cases) {
        for (auto [list, r, on] : {std::tuple{0, 0, true}, {0, 1, false}, {1, 0, true}}) {
            items(list).setChecked(r, on);
            items(list).setTag(r, !on);
        }
        doc->rules().CheckGroups(c.mode);
        QString got;
        for (const auto& i : {items(0).item(0), items(0).item(1), items(1).item(0)})
            got += QLatin1String(i.checked ? "1" : "0") + QLatin1String(i.tag ? "1" : "0");
        EXPECT_EQ(got, QLatin1String(c.after)) << "mode " << c.mode;
    }
}

// A reply's rows of the shown officer tick and store the first item of each code, groups
// before agencies; everything else is cleared, and the caption names the officer.
struct LoadCase {
    const char* name;
    const char* shownId;
    std::vector<std::pair<QVariant, QVariant>> rows;
    bool table;
    QStringList ticked;
    QStringList logged;
};
const QVariant kNull;
const LoadCase kLoads[] = {
    {"HeldCodesAreTicked", "NW1", {{"NW1", "G1"}, {"NW1", "A1"}}, true, {"Alpha", "Agency One"}, {}},
    {"NoTableClearsEverything", "NW1", {}, false, {}, {}},
    {"OtherOfficersSkippedIdsTrimmed", "NW1", {{"NW2", "G1"}, {"  NW1 ", "A1"}, {kNull, "G1"}},
     true, {"Agency One"}, {}},
    {"CodesMatchWithTheirCase", "NW1", {{"NW1", "g1"}}, true, {}, {}},
    {"ACodeInBothListsTicksTheGroup", "NW1", {{"NW1", "X"}}, true, {"Both"}, {}},
    {"ADuplicateCodeTicksTheFirstItem", "NW1", {{"NW1", "D"}, {"NW1", "D"}}, true, {"Dup first"}, {}},
    {"ANullCodeEndsTheWalk", "NW1", {{"NW1", "G1"}, {"NW1", kNull}, {"NW1", "A1"}}, true,
     {"Alpha"}, {"ZAVEK_Security.LoadOfficerGroups"}},
    {"TheShownIdIsComparedAsStored", " NW1", {{"NW1", "G1"}}, true, {}, {}},
};

class Loading : public Screen, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(Loading, TicksAndStoresTheShownOfficersCodes) {
    const LoadCase& c = GetParam();
    catalogue({"'NW','P','G1','Alpha'", "'NW','P','X','Both'", "'NW','P','D','Dup first'",
               "'NW','P','D','Dup second'", "'NW','A','A1','Agency One'",
               "'NW','A','X','Both agency'"});
    doc->UserDocument_Show();
    DocumentState& s = doc->state();
    s.msInspId = QString::fromLatin1(c.shownId);
    s.msOfficerName = QStringLiteral("Ann Smith");
    s.msMessageId = QStringLiteral("M1");
    items(0).setChecked(row(0, QStringLiteral("X")), true); // a previous officer's tick
    MessageData m;
    m.replyTo = doc->DocumentIdentity();
    m.messageId = s.msMessageId;
    TableData t;
    t.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
    for (const auto& [id, code] : c.rows)
        t.rows.push_back({id, code});
    if (c.table)
        m.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), t});
    ReplyStore::Instance().put(m);
    ErrorLogger::Instance().clearRecent();
    doc->rules().LoadOfficerGroups();
    QStringList ticked;
    for (int list : {0, 1})
        for (int r = 0; r < items(list).count(); ++r) {
            const auto& item = items(list).item(r);
            if (item.checked)
                ticked << item.text;
            EXPECT_EQ(item.tag, item.checked) << c.name << ": " << item.text.toStdString();
        }
    EXPECT_EQ(ticked, c.ticked) << c.name;
    EXPECT_EQ(logSources(), c.logged) << c.name;
    EXPECT_EQ(doc->form().caption()->text(), QStringLiteral("Current Officer : Ann Smith"));
}
INSTANTIATE_TEST_SUITE_P(Reply, Loading, ::testing::ValuesIn(kLoads),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zavek::testing

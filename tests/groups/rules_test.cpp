#include "groups/catalogue_query.h"
#include "groups/document_state.h"
#include "tests/support/screen.h"

namespace zavek::testing {
namespace {

TEST(CatalogueQuery, TheRegionIsAQuotedLiteralInTheExactText) {
    const QString tail = u"'  order by GRP_TYP_CD, GRP_DES"_s;
    const QString head = u"Select * from VRD_GROUP Where REGION='"_s;
    EXPECT_EQ(catalogueQuery(u"NW"_s), head + u"NW"_s + tail);
    EXPECT_EQ(catalogueQuery(u"O'BRIEN"_s), head + u"O''BRIEN"_s + tail);
}

// Records the column widths the load sets; can fail them.
struct Geometry final : IListGeometry {
    int listWidthTwips(CheckList) override { return 3870; }
    void setColumnWidthTwips(CheckList list, int column, int twips) override {
        if (failWith)
            fail(failWith, u"The list cannot be laid out."_s);
        widths << u"%1.%2=%3"_s.arg(int(list)).arg(column).arg(twips);
    }
    std::uint32_t failWith = 0;
    QStringList widths;
};

// The catalogue load: rows -> "description/code;..." of each list, and a word
// of the one failure logged (null: none).
struct CatalogueCase {
    const char *name, *region, *rows;
    std::uint32_t layoutFailure;
    const char *groups, *agencies, *logged;
};
const CatalogueCase kCatalogue[] = {
    {"RegionTrimmedAndUpperCased", " nw ", "NW,P,G1,Alpha;nw,P,G2,Lower;SE,P,G3,Other", 0,
     "Alpha/G1", "", nullptr},
    {"OnlyTypesPAndAInTypeThenDescriptionOrder", "NW",
     "NW,P,G2,Beta;NW,A,A1,Agency One;NW,P,G1,Alpha;NW,a,X1,lower a;NW,p,X2,lower p;"
     "NW,A ,X3,A and blank;NW,Q,X4,other;NW,NULL,X5,no type",
     0, "Alpha/G1;Beta/G2", "Agency One/A1", nullptr},
    // Ordered by description, the null comes first in SQLite: the load ends at once.
    {"NullDescriptionEndsTheLoad", "NW", "NW,P,G1,Alpha;NW,P,G2,NULL;NW,P,G3,Gamma", 0, "/", "",
     "GRP_DES"},
    {"StopCodeWhileLayingOutIsNotLogged", "NW", "NW,P,G1,Alpha", codes::kStop, "", "", nullptr},
};
class Catalogue : public Screen, public ::testing::WithParamInterface<CatalogueCase> {};

TEST_P(Catalogue, FillsBothListsOrEndsAtTheFirstFailureLoggedOnce) {
    const CatalogueCase& c = GetParam();
    catalogue(c.rows);
    SessionInfo::Instance().establish(u"s"_s, QString::fromUtf8(c.region), db.connectionName());
    Geometry geometry;
    geometry.failWith = c.layoutFailure;
    GroupListModel lists[2];
    GroupRules rules(doc->services(), lists[0], lists[1], geometry);
    rules.InitializeListView();
    for (int i = 0; i < 2; ++i) {
        QStringList texts;
        for (int r = 0; r < lists[i].count(); ++r)
            texts << lists[i].item(r).text + QLatin1Char('/') + lists[i].item(r).code;
        EXPECT_EQ(texts.join(QLatin1Char(';')), QString::fromUtf8(i ? c.agencies : c.groups));
    }
    EXPECT_EQ(geometry.widths.join(u' '),
              QLatin1String(c.layoutFailure ? "" : "0.1=3870 0.2=0 1.1=3870 1.2=0"));
    const auto& logged = ErrorLogger::Instance().recent();
    ASSERT_EQ(logged.size(), c.logged ? 1u : 0u);
    if (c.logged) {
        EXPECT_EQ(logged[0].source, u"ZAVEK_Security.InitializeListView"_s);
        EXPECT_TRUE(logged[0].description.contains(QLatin1String(c.logged)));
    }
}
INSTANTIATE_TEST_SUITE_P(Load, Catalogue, ::testing::ValuesIn(kCatalogue), kByName);

// A click or the reset box: without an officer it is undone and Save stays off; with one, Save
// follows the change test. A failing step is logged under its handler. saveCalls: button 7's
// calls in order, 1 on and 0 off.
struct ClickCase {
    const char* name;
    bool officer;
    void (*act)(Screen&);
    const char *saveCalls, *status, *logged;
    bool pending;
};
void reset(Screen& s, bool on) {
    s.doc->form().resetPassword()->setChecked(on);
}
const char* const kChecking = "Checking for data changes";
const ClickCase kClicks[] = {
    // Clearing the box runs its handler once more.
    {"ResetWithoutAnOfficerIsCleared", false, [](Screen& s) { reset(s, true); }, "00", "Ready", "",
     false},
    {"TickingBackTurnsItOff", true,
     [](Screen& s) { s.tick(0, "CFU", true), s.tick(0, "CFU", false); }, "10", kChecking, "",
     false},
    {"ResetAloneIsAChange", true, [](Screen& s) { reset(s, true); }, "1", kChecking, "", true},
    {"ResetClearedAgain", true, [](Screen& s) { reset(s, true), reset(s, false); }, "10", kChecking,
     "", false},
    {"FailingChangeTestCountsAsNoChange", true,
     [](Screen& s) {
         s.host.statusFailures[QString::fromLatin1(kChecking)] = codes::kUnexpected;
         s.tick(0, "CFU", true);
     },
     "0", "Displaying Security Group for Ann Smith", "ZAVEK_Security.DataChanged", true},
    {"FailingButtonIsLeftAsItWas", true,
     [](Screen& s) { s.host.failingButtons = {7}, s.tick(0, "CFU", true); }, "", kChecking,
     "ZAVEK_Security.lvOfficerGroups_Click", true},
};
class Clicks : public Screen, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(Clicks, SaveFollowsTheChangesOfAShownOfficer) {
    const ClickCase& c = GetParam();
    doc->UserDocument_Show();
    if (c.officer)
        pick(u"NW001"_s);
    deliver();
    host.toolbar.clear();
    ErrorLogger::Instance().clearRecent();
    c.act(*this);
    QString calls;
    for (const QString& call : host.toolbar)
        calls += call == "7+@SEC1" ? "1" : call == "7-@SEC1" ? "0" : "?";
    EXPECT_EQ(calls, QLatin1String(c.saveCalls));
    EXPECT_EQ(doc->rules().hasChanges(), c.pending);
    EXPECT_EQ(host.status(), QString::fromLatin1(c.status));
    EXPECT_EQ(logSources().join(QLatin1Char(';')), QLatin1String(c.logged));
    EXPECT_TRUE(fake.messageBox.shown().empty());
}
INSTANTIATE_TEST_SUITE_P(Edit, Clicks, ::testing::ValuesIn(kClicks), kByName);

// Store ticks what is ticked, Clear empties both, Restore ticks what is stored; other modes
// change nothing. Ticked and stored of groups 0 and 1, then agency 0.
TEST_F(Screen, CheckGroupsStoresClearsOrRestoresEveryItem) {
    doc->UserDocument_Show();
    for (const auto& [mode, after] : {std::pair<std::int32_t, const char*>{Store, "110011"},
                                      {Clear, "000000"},
                                      {Restore, "001100"},
                                      {3, "100110"}}) {
        for (auto [list, r, on] : {std::tuple{0, 0, true}, {0, 1, false}, {1, 0, true}})
            items(list).setChecked(r, on), items(list).setTag(r, !on);
        doc->rules().CheckGroups(mode);
        QString got;
        for (const auto& i : {items(0).item(0), items(0).item(1), items(1).item(0)})
            got += QLatin1String(i.checked ? "1" : "0") + QLatin1String(i.tag ? "1" : "0");
        EXPECT_EQ(got, QLatin1String(after)) << "mode " << mode;
    }
}

// A reply's rows of the shown officer (NW1) tick and store the first item of each code, groups
// before agencies; everything else is cleared, the caption names the officer: Screen::shown().
struct LoadCase {
    const char *name, *rows, *shown, *logged;
};
const LoadCase kLoads[] = {
    {"OtherOfficersSkippedIdsTrimmed", "NW2,G1;  NW1 ,A1;NULL,G1", "Ann Smith: A1", ""},
    // Codes of the groups come before those of the agencies: this X is the group's.
    {"ACodeInBothListsTicksTheGroup", "NW1,X;NW1,A1", "Ann Smith: X A1", ""},
    {"ANullCodeEndsTheWalk", "NW1,G1;NW1,NULL;NW1,A1", "Ann Smith: G1",
     "ZAVEK_Security.LoadOfficerGroups"},
};
class Loading : public Screen, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(Loading, TicksAndStoresTheShownOfficersCodes) {
    const LoadCase& c = GetParam();
    catalogue("NW,P,G1,Alpha;NW,P,X,Both;NW,A,A1,Agency One;NW,A,X,Both agency");
    doc->UserDocument_Show();
    DocumentState& s = doc->state();
    s.msInspId = u"NW1"_s;
    s.msOfficerName = u"Ann Smith"_s;
    items(0).setChecked(row(0, u"X"_s), true); // a previous officer's tick
    MessageData m;
    m.replyTo = doc->DocumentIdentity();
    m.messageId = s.msMessageId = u"M1"_s;
    TableData t{{u"INSP_ID"_s, u"GRP_CD"_s}, {}};
    for (const QString& r : QString::fromLatin1(c.rows).split(';', Qt::SkipEmptyParts)) {
        const QString id = r.section(',', 0, 0), code = r.section(',', 1);
        t.rows.push_back({id == "NULL" ? QVariant() : id, code == "NULL" ? QVariant() : code});
    }
    m.tables.push_back(NamedTable{u"OFFICERGROUP"_s, t});
    ReplyStore::Instance().put(m);
    ErrorLogger::Instance().clearRecent();
    doc->rules().LoadOfficerGroups();
    EXPECT_EQ(shown(), QLatin1String(c.shown));
    EXPECT_EQ(logSources().join(';'), QLatin1String(c.logged));
}
INSTANTIATE_TEST_SUITE_P(Reply, Loading, ::testing::ValuesIn(kLoads), kByName);

} // namespace
} // namespace zavek::testing

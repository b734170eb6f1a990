#include "tests/backend/backend_fixture.h"

#include "backend/database.h"
#include "backend/demo_data.h"

namespace zavek::backend::testing {
namespace {

using DemoDataTest = BackendFixture;

TEST_F(DemoDataTest, IsSeededOnceIntoANewFolderAndEveryOfficerHasExactlyOneAgency) {
    const QString name = connection_ + QStringLiteral("-demo");
    QSqlDatabase db = openDatabase(dir_.filePath(QStringLiteral("sub/dir/z.sqlite")), name);
    EXPECT_TRUE(seedDemoData(db));
    EXPECT_FALSE(seedDemoData(db));
    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM OFFICER"), db), 200);
    // Officers without exactly one agency, and codes that are both a group and an agency.
    EXPECT_EQ(count(QStringLiteral(
                        "SELECT (SELECT COUNT(*) FROM OFFICER o WHERE (SELECT COUNT(*) FROM "
                        "OFFICER_GROUP m JOIN VRD_GROUP g ON g.GRP_CD = m.GRP_CD AND g.REGION = "
                        "o.REGION WHERE m.INSP_ID = o.INSP_ID AND g.GRP_TYP_CD = 'A') <> 1) + "
                        "(SELECT COUNT(*) FROM VRD_GROUP a JOIN VRD_GROUP p ON a.REGION = p.REGION "
                        "AND a.GRP_CD = p.GRP_CD AND a.GRP_TYP_CD <> p.GRP_TYP_CD)"),
                    db),
              0);
    db = QSqlDatabase();
    closeDatabase(name);
}

} // namespace
} // namespace zavek::backend::testing

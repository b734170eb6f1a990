#include "admin/catalogue_import.h"
#include "admin/officer_import.h"

#include <gtest/gtest.h>

using namespace zavek::admin;

namespace {

QStringList texts(const std::vector<LineError>& errors) {
    QStringList out;
    for (const auto& e : errors)
        out << e.text();
    return out;
}

class CatalogueValidation : public ::testing::Test {
protected:
    CatalogueState state;
    std::vector<LineError> errors;
    std::vector<CatalogueEntry> validate(const QString& body) {
        const CsvTable t = readCsvTable(QStringLiteral("REGION,GRP_TYP_CD,GRP_CD,GRP_DES\n") + body,
                                        CatalogueImport::columns(), {}, errors);
        return validateCatalogue(t, state, errors);
    }
};

TEST_F(CatalogueValidation, AValidFileGivesOneEntryPerLine) {
    const auto entries = validate(QStringLiteral("NW,A,AG1,Agency one\nNW,p,G1,\"Group, one\"\n"));
    EXPECT_TRUE(errors.empty()) << texts(errors).join('\n').toStdString();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].type, QStringLiteral("P"));
    EXPECT_EQ(entries[1].description, QStringLiteral("Group, one"));
    EXPECT_EQ(entries[1].line, 3);
}

TEST_F(CatalogueValidation, EveryBadLineIsListedWithItsNumber) {
    validate(
        QStringLiteral("NW,A,AG1,Agency\nNW,X,G1,Group\n,P,G2,Group\nNW,P,,Group\nNW,P,G3,\n"));
    EXPECT_EQ(texts(errors), (QStringList{"line 3: GRP_TYP_CD must be A or P, not \"X\"",
                                          "line 4: REGION is empty", "line 5: GRP_CD is empty",
                                          "line 6: GRP_DES is empty"}));
}

TEST_F(CatalogueValidation, ACodeGivenTwiceForOneRegionIsRefused) {
    const auto entries =
        validate(QStringLiteral("NW,P,G1,One\nSE,P,G1,Other region\nNW,P,G1,Again\n"));
    EXPECT_EQ(texts(errors),
              QStringList{"line 4: GRP_CD \"G1\" of region NW was already given on line 2"});
}

TEST_F(CatalogueValidation, AHeldGroupCannotChangeItsType) {
    state.typeOf.insert(groupKey("NW", "G1"), "P");
    state.typeOf.insert(groupKey("NW", "G2"), "P");
    state.held.insert(groupKey("NW", "G1"));
    const auto entries = validate(QStringLiteral("NW,A,G1,Now an agency\nNW,A,G2,Unheld\n"));
    EXPECT_EQ(texts(errors), QStringList{"line 2: GRP_CD \"G1\" of region NW is held by officers "
                                         "as type P; its type cannot change to A"});
}

class OfficerValidation : public ::testing::Test {
protected:
    OfficerState state;
    std::vector<LineError> errors;
    OfficerValidation() {
        for (auto [code, type] : {std::pair{"AG1", "A"}, {"AG2", "A"}, {"G1", "P"}, {"G2", "P"}})
            state.catalogue.typeOf.insert(groupKey("NW", code), type);
        state.catalogue.typeOf.insert(groupKey("SE", "SAG"), "A");
    }
    std::vector<OfficerEntry> validate(const QString& text) {
        const CsvTable t = readCsvTable(text, OfficerImport::requiredColumns(),
                                        OfficerImport::optionalColumns(), errors);
        return validateOfficers(t, state, errors);
    }
};

TEST_F(OfficerValidation, GroupCodesAreSplitOnSemicolons) {
    const auto entries =
        validate(QStringLiteral("INSP_ID,OFFICER_NAME,REGION,AGENCY_CD,GROUP_CODES\nI1,Ann,NW,AG1,"
                                "G1; G2;G1\nI2,Bo,NW,AG2,\n"));
    EXPECT_TRUE(errors.empty()) << texts(errors).join('\n').toStdString();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].groups, (QStringList{"G1", "G2"}));
    EXPECT_EQ(entries[1].groups, QStringList{});
}

TEST_F(OfficerValidation, CodesAreCheckedAgainstTheCatalogueOfTheOfficersRegion) {
    validate(QStringLiteral("INSP_ID,OFFICER_NAME,REGION,AGENCY_CD,GROUP_CODES\n"
                            "I1,Ann,NW,G1,AG2\n"
                            "I2,Bo,NW,SAG,G9\n"
                            "I3,Cy,XX,AG1,\n"
                            "I4,Di,NW,,\n"));
    EXPECT_EQ(
        texts(errors),
        (QStringList{
            "line 2: AGENCY_CD \"G1\" is a security group of region NW, not an agency",
            "line 2: GROUP_CODES: \"AG2\" is an agency of region NW; give it as AGENCY_CD",
            "line 3: AGENCY_CD \"SAG\" is not an agency of region NW",
            "line 3: GROUP_CODES: \"G9\" is not a security group of region NW",
            "line 4: REGION \"XX\" has no groups in the catalogue; import its catalogue first",
            "line 5: AGENCY_CD is empty; every officer needs exactly one agency"}));
}

TEST_F(OfficerValidation, AnOfficerGivenTwiceIsRefused) {
    validate(
        QStringLiteral("INSP_ID,OFFICER_NAME,REGION,AGENCY_CD\nI1,Ann,NW,AG1\nI1,Ann,NW,AG2\n"));
    EXPECT_EQ(texts(errors), QStringList{"line 3: INSP_ID \"I1\" was already given on line 2"});
}

TEST_F(OfficerValidation, MovingRegionWithoutGroupCodesIsRefused) {
    state.regionOf.insert("I1", "NW");
    const auto entries =
        validate(QStringLiteral("INSP_ID,OFFICER_NAME,REGION,AGENCY_CD\nI1,Ann,SE,SAG\n"));
    EXPECT_EQ(texts(errors),
              QStringList{"line 2: officer I1 moves from region NW to SE; add a "
                          "GROUP_CODES column so that the groups fit the new region"});
    EXPECT_TRUE(entries.empty());
}

} // namespace

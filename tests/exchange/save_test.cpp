#include "tests/exchange/exchange_fixture.h"

namespace zavek::testing {
namespace {

class SaveRequest : public ExchangeTest {
protected:
    void SetUp() override {
        stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
        pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
        deliver();
        transport->clearSent();
        fake.pointer.SetShape(platform::PointerHourglass);
    }
};

TEST_F(SaveRequest, NothingChangedCancelsTheSave) {
    const auto toolbarCalls = host.toolbar.size();
    exchange->SaveData();
    EXPECT_EQ(host.status(), QStringLiteral("Data did not change.  Save request cancelled. "));
    EXPECT_TRUE(transport->sent().empty());
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_EQ(host.toolbar.size(), toolbarCalls);
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
    EXPECT_EQ(host.shellEnabled.back(), true);
}

TEST_F(SaveRequest, NoAgencyIsRefused) {
    tick(1, QStringLiteral("BIS"), false);
    exchange->SaveData();
    ASSERT_EQ(fake.messageBox.shown().size(), 1u);
    EXPECT_EQ(fake.messageBox.shown()[0].text, QStringLiteral("Please select an Agency."));
    EXPECT_EQ(fake.messageBox.shown()[0].style, 16);
    EXPECT_TRUE(transport->sent().empty());
    EXPECT_TRUE(tag(1, QStringLiteral("BIS")));
    EXPECT_EQ(host.status(), QStringLiteral("Checking for data changes"));
}

TEST_F(SaveRequest, TwoAgenciesAreRefused) {
    tick(1, QStringLiteral("CUS"), true);
    exchange->SaveData();
    ASSERT_EQ(fake.messageBox.shown().size(), 1u);
    EXPECT_EQ(fake.messageBox.shown()[0].text,
              QStringLiteral("Can not select more than one Agency."));
    EXPECT_TRUE(transport->sent().empty());
}

TEST_F(SaveRequest, ChangeRowsListGroupsThenAgenciesInItemOrder) {
    tick(0, QStringLiteral("WAP"), true);
    tick(0, QStringLiteral("CFR"), false);
    tick(1, QStringLiteral("BIS"), false);
    tick(1, QStringLiteral("CUS"), true);
    exchange->SaveData();

    ASSERT_EQ(transport->sent().size(), 1u);
    const MessageData& m = lastSent();
    EXPECT_EQ(m.messageType, 3);
    EXPECT_EQ(m.messageId, state.msMessageId);
    EXPECT_EQ(m.replyTo, state.documentIdentity);
    EXPECT_TRUE(m.criteria.empty());
    EXPECT_EQ(m.table(QStringLiteral("OFFICERGROUP"))->fields,
              (QStringList{QStringLiteral("GRP_CD"), QStringLiteral("INSP_ID"),
                           QStringLiteral("ACTION")}));
    // Catalogue order is type then description: CFR, CFU, WAP; BIS, CUS.
    EXPECT_EQ(rows(m, QStringLiteral("OFFICERGROUP")),
              (QStringList{QStringLiteral("CFR|NW001|DEL"), QStringLiteral("WAP|NW001|ADD"),
                           QStringLiteral("BIS|NW001|DEL"), QStringLiteral("CUS|NW001|ADD")}));
    EXPECT_EQ(m.table(QStringLiteral("SETUP")), nullptr);
}

TEST_F(SaveRequest, AfterSendingTheStateIsStoredAndSaveIsOff) {
    tick(0, QStringLiteral("WAP"), true);
    exchange->SaveData();
    EXPECT_FALSE(state.mbRetrievalRequest);
    EXPECT_FALSE(state.mbTimedOut);
    EXPECT_EQ(host.toolbar.back(), (ToolbarCall{7, false, QStringLiteral("SEC1")}));
    EXPECT_EQ(host.status(), QStringLiteral("Saving Security Group for Ann Smith"));
    EXPECT_TRUE(tag(0, QStringLiteral("WAP")));

    exchange->SaveData();
    EXPECT_EQ(host.status(), QStringLiteral("Data did not change.  Save request cancelled. "));
    EXPECT_EQ(transport->sent().size(), 1u);
}

TEST_F(SaveRequest, ResetAloneSendsAnEmptyChangeTableAndOneSetupRow) {
    tick(0, QStringLiteral("WAP"), true); // ticked and cleared again: no row
    tick(0, QStringLiteral("WAP"), false);
    form.setResetPasswordValue(1);
    exchange->SaveData();
    const MessageData& m = lastSent();
    ASSERT_NE(m.table(QStringLiteral("OFFICERGROUP")), nullptr);
    EXPECT_TRUE(m.table(QStringLiteral("OFFICERGROUP"))->rows.empty());
    EXPECT_EQ(m.table(QStringLiteral("SETUP"))->fields,
              (QStringList{QStringLiteral("INSP_ID"), QStringLiteral("INITIAL"),
                           QStringLiteral("ACTION")}));
    EXPECT_EQ(rows(m, QStringLiteral("SETUP")), QStringList{QStringLiteral("NW001|Y|RESET")});
    EXPECT_EQ(form.reset, 1) << "the reply clears the box, not the send";
}

TEST_F(SaveRequest, SendDataSendsWithoutTheAgencyCheck) {
    tick(1, QStringLiteral("CUS"), true);
    EXPECT_TRUE(exchange->SendData());
    EXPECT_EQ(rows(lastSent(), QStringLiteral("OFFICERGROUP")),
              QStringList{QStringLiteral("CUS|NW001|ADD")});
    EXPECT_TRUE(state.mbRetrievalRequest) << "only SaveData marks the coming reply as a save reply";
}

// Whatever becomes of a save short of being stored, its edits stay pending, Save can be
// pressed again and sends them, and the screen says what failed.
enum class Fault { Refused, RefusedAfterAnotherSave, Unanswered, NotSent, AnsweredLate };
struct SaveCase {
    const char* name;
    Fault fault;
    bool reset;
    const char* status;
    const char* box; // the start of the one box shown; null: none
};
const QString kPending =
    QStringLiteral("Saving Security Group for Ann Smith failed; your changes are still pending");
const SaveCase kSaveCases[] = {
    {"Refused", Fault::Refused, false, nullptr, "The database is locked."},
    {"RefusedWithAReset", Fault::Refused, true, nullptr, "The database is locked."},
    // Another administrator gave the officer CFU meanwhile: shown, with WAP still pending.
    {"RefusedAfterAnotherAdministratorsSave", Fault::RefusedAfterAnotherSave, false,
     "Saving Security Group for Ann Smith failed; your changes are still pending; the lists show "
     "what is stored now with your changes ticked again",
     "Security groups of Ann Smith were changed"},
    {"NeverAnswered", Fault::Unanswered, true,
     "Saving Security Group for Ann Smith got no answer; your changes are still pending. Check "
     "the connection and save again.",
     nullptr},
    {"NeverSent", Fault::NotSent, false, nullptr,
     "Saving Security Group for Ann Smith failed: The back end is not connected"},
    // Stored after all: nothing is left pending.
    {"AnsweredAfterItsTimeOut", Fault::AnsweredLate, false,
     "Displaying Security Group for Ann Smith", nullptr},
};

class SaveFailures : public SaveRequest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveFailures, KeepTheEditsPendingAndSaySo) {
    const SaveCase& c = GetParam();
    tick(0, QStringLiteral("WAP"), true);
    form.setResetPasswordValue(c.reset ? 1 : 0);
    if (c.fault == Fault::Refused)
        saveError = QStringLiteral("The database is locked.");
    if (c.fault == Fault::RefusedAfterAnotherSave) {
        saveError = QStringLiteral("Security groups of Ann Smith were changed by someone.");
        stored[QStringLiteral("NW001")].append(QStringLiteral("CFU"));
    }
    if (c.fault == Fault::Unanswered || c.fault == Fault::AnsweredLate)
        transport->setHolding(true);
    if (c.fault == Fault::NotSent)
        MessageBus::Instance().setTransport(nullptr);

    exchange->SaveData();
    if (c.fault == Fault::Unanswered || c.fault == Fault::AnsweredLate)
        exchange->moKelbMessage_MsgTimeout(QVariant(state.msMessageId));
    if (c.fault == Fault::AnsweredLate)
        transport->releaseAll();
    transport->dropHeld();
    deliver();

    const bool pending = c.fault != Fault::AnsweredLate;
    EXPECT_EQ(host.status(), c.status ? QString::fromLatin1(c.status) : kPending) << c.name;
    ASSERT_EQ(fake.messageBox.shown().size(), c.box ? 1u : 0u) << c.name;
    if (c.box) {
        EXPECT_TRUE(fake.messageBox.shown()[0].text.startsWith(QString::fromLatin1(c.box)))
            << c.name << ": " << fake.messageBox.shown()[0].text.toStdString();
    }
    EXPECT_EQ(rules->hasChanges(), pending) << c.name;
    EXPECT_EQ(tag(0, QStringLiteral("WAP")), !pending) << c.name;
    const bool otherSave = c.fault == Fault::RefusedAfterAnotherSave;
    EXPECT_EQ(checked(0, QStringLiteral("CFU")) && tag(0, QStringLiteral("CFU")), otherSave)
        << c.name;
    EXPECT_TRUE(checked(0, QStringLiteral("CFR")) && tag(0, QStringLiteral("CFR"))) << c.name;
    EXPECT_EQ(form.reset, c.reset ? 1 : 0) << c.name << ": the reset is still asked for";
    EXPECT_EQ(host.buttonState(7, QStringLiteral("SEC1")), std::optional<bool>(pending)) << c.name;
    if (!pending)
        return;

    saveError.clear();
    transport->setHolding(false);
    MessageBus::Instance().setTransport(transport);
    transport->clearSent();
    exchange->SaveData();
    deliver();
    ASSERT_EQ(transport->sent().size(), 1u) << c.name;
    EXPECT_EQ(rows(transport->sent()[0], QStringLiteral("OFFICERGROUP")),
              QStringList{QStringLiteral("WAP|NW001|ADD")})
        << c.name;
    EXPECT_TRUE(stored[QStringLiteral("NW001")].contains(QStringLiteral("WAP"))) << c.name;
    EXPECT_FALSE(rules->hasChanges()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Save, SaveFailures, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zavek::testing

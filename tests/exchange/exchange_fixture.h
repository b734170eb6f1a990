#pragma once
// Lists filled from a small catalogue, the exchange wired to the shared listener, and a
// loopback back end whose replies each test scripts.

#include "common/error_logger.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "common/transport.h"
#include "exchange/officer_exchange.h"
#include "groups/group_list_model.h"
#include "groups/group_rules.h"
#include "platform/fake_platform.h"
#include "tests/support/fake_shell_host.h"
#include "tests/support/printers.h"
#include "tests/support/temp_database.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace zavek::testing {

class FakeForm final : public IFormControls {
public:
    int resetPasswordValue() const override { return reset; }
    void setResetPasswordValue(int value) override {
        const bool changed = value != reset;
        reset = value;
        if (changed && onResetChanged)
            onResetChanged();
    }
    QString caption() const override { return captionText; }
    void setCaption(const QString& text) override { captionText = text; }
    QString selectedOfficerName() const override { return officerName; }

    int reset = 0;
    QString captionText = QStringLiteral("Current Officer :");
    QString officerName;
    std::function<void()> onResetChanged;
};

class FixedGeometry final : public IListGeometry {
public:
    int listWidthTwips(int) override { return 3870; }
    void setColumnWidthTwips(int, int, int) override {}
};

class ExchangeTest : public ::testing::Test {
protected:
    ExchangeTest();
    ~ExchangeTest() override;

    // Officers the loopback back end knows: id -> held codes.
    std::map<QString, QStringList> stored;
    // Error text the back end answers every save with (empty: success).
    QString saveError;

    void pick(const QString& id, const QString& name);
    void deliver();                                         // runs queued replies
    void tick(int list, const QString& code, bool checked); // as a user click would
    int row(int list, const QString& code) const;
    bool checked(int list, const QString& code) const;
    bool tag(int list, const QString& code) const;
    const MessageData& lastSent() const { return transport->sent().back(); }
    static QStringList rows(const MessageData& message, const QString& table);

    TempDatabase db;
    platform::FakePlatform fake;
    FakeShellHost host;
    FakeForm form;
    FixedGeometry geometry;
    DocumentState state;
    GroupListModel groups;
    GroupListModel agencies;
    std::unique_ptr<GroupRules> rules;
    std::unique_ptr<OfficerExchange> exchange;
    std::shared_ptr<LoopbackTransport> transport;
    QMetaObject::Connection readyConnection;
    QMetaObject::Connection timeoutConnection;
};

} // namespace zavek::testing

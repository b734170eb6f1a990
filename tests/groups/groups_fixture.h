#pragma once
// Two lists with their procedures over a catalogue in a temporary SQLite file.

#include "common/error_logger.h"
#include "common/failure.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "groups/document_state.h"
#include "groups/group_list_model.h"
#include "groups/group_rules.h"
#include "platform/fake_platform.h"
#include "tests/support/fake_shell_host.h"
#include "tests/support/printers.h"
#include "tests/support/temp_database.h"

#include <gtest/gtest.h>

#include <map>

namespace zavek::testing {

class ResetBox final : public IFormControls {
public:
    int resetPasswordValue() const override { return value; }
    void setResetPasswordValue(int v) override {
        const bool changed = v != value;
        value = v;
        ++sets;
        if (changed && onChange)
            onChange();
    }
    QString caption() const override { return captionText; }
    void setCaption(const QString& text) override { captionText = text; }
    QString selectedOfficerName() const override { return QString(); }
    int value = 0;
    int sets = 0;
    QString captionText = QStringLiteral("Current Officer :");
    std::function<void()> onChange;
};

class RecordedGeometry final : public IListGeometry {
public:
    int listWidthTwips(int) override { return 3870; }
    void setColumnWidthTwips(int list, int column, int twips) override {
        if (failWith)
            fail(failWith, QStringLiteral("The list cannot be laid out."));
        widths[{list, column}] = twips;
    }
    std::map<std::pair<int, int>, int> widths;
    std::uint32_t failWith = 0;
};

class GroupsTest : public ::testing::Test {
protected:
    GroupsTest() {
        db.exec({QStringLiteral(
            "CREATE TABLE VRD_GROUP (REGION TEXT, GRP_TYP_CD TEXT, GRP_CD TEXT, GRP_DES TEXT)")});
        SessionInfo::Instance().establish(QStringLiteral("s"), QStringLiteral(" nw "),
                                          db.connectionName());
        state.msWindowTag = QStringLiteral("TAG");
        state.documentIdentity = QStringLiteral("DOC");
        rules = std::make_unique<GroupRules>(
            DocumentServices{state, form, fake.platform(),
                             TrapContext{QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                                         QStringLiteral("ZAVEK_Security.")}},
            groups, agencies, geometry);
        form.onChange = [this] { rules->chkResetPassword_Click(); };
        ErrorLogger::Instance().clearRecent();
    }
    ~GroupsTest() override {
        ReplyStore::Instance().clear();
        SessionInfo::Instance().clear();
    }
    void rows(const QStringList& values) {
        QStringList statements;
        for (const QString& v : values)
            statements << QStringLiteral("INSERT INTO VRD_GROUP VALUES (%1)").arg(v);
        db.exec(statements);
    }
    QStringList texts(const GroupListModel& m) const {
        QStringList out;
        for (int r = 0; r < m.count(); ++r)
            out << m.item(r).text + QLatin1Char('/') + m.item(r).code;
        return out;
    }
    QStringList logSources() const {
        QStringList out;
        for (const auto& e : ErrorLogger::Instance().recent())
            out << e.source;
        return out;
    }

    TempDatabase db;
    platform::FakePlatform fake;
    FakeShellHost host;
    ResetBox form;
    RecordedGeometry geometry;
    DocumentState state;
    GroupListModel groups;
    GroupListModel agencies;
    std::unique_ptr<GroupRules> rules;
};

} // namespace zavek::testing

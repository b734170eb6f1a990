#pragma once
#include "backend/authenticator.h"
#include "backend/request_processor.h"
#include "common/message.h"
#include "tests/support/fake_clock.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zavek::backend::testing {

// A migrated database with a small catalogue, two officers and a signed-in administrator of
// region NW; NW00123 holds CFR and the agency BIS.
class BackendFixture : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    void exec(const QString& sql);
    int count(const QString& sql, const QSqlDatabase& db = {});
    // Every stored officer, membership and audit row, as one text.
    QString dump();
    MessageData retrieval(const QString& id) const;
    // changes: "+CFU,-CFR" adds CFU and removes CFR.
    MessageData save(const QString& id, const QString& changes, bool reset = false) const;
    // The codes of the reply's memberships, "BIS CFR".
    static QString codes(const MessageData& reply);
    int auditRows(const QString& action);
    // The sign-in's failure text, empty when it worked (the session is then in signedIn).
    QString signIn(const QString& id, const QString& password);
    MessageData send(const MessageData& m);

    zavek::testing::FakeClock clock_;
    QTemporaryDir dir_;
    QString connection_;
    QSqlDatabase db_;
    Session session_;
    Session signedIn;
    IStatementFaults* faults_ = nullptr;
};

} // namespace zavek::backend::testing

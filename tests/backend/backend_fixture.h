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
// region NW.
class BackendFixture : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    void exec(const QString& sql);
    // Every stored officer, membership and audit row, as one text.
    QString dump();
    MessageData retrieval(const QString& id) const;
    MessageData save(const QString& id, const std::vector<std::pair<QString, QString>>& changes,
                     bool reset = false) const;
    static std::vector<QString> codes(const MessageData& reply);
    int auditRows(const QString& action);

    MessageData send(const MessageData& m) { return RequestProcessor(db_, clock_).process(m); }

    zavek::testing::FakeClock clock_;
    QTemporaryDir dir_;
    QString connection_;
    QSqlDatabase db_;
    Session session_;
};

} // namespace zavek::backend::testing

#pragma once
#include "backend/authenticator.h"
#include "backend/request_processor.h"
#include "backend/sql.h"
#include "common/message.h"
#include "tests/postgres/test_database.h"
#include "tests/support/fake_clock.h"

#include <gtest/gtest.h>

#include <functional>

namespace zavek::backend::testing {

// A migrated database with a small catalogue, two officers and a signed-in administrator of
// region NW; NW00123 holds CFR and the agency BIS.
class BackendFixture : public ::testing::Test {
public:
    void SetUp() override;

    int count(const QString& sql) { return scalar(db_, sql).toInt(); }
    int auditRows(const QString& action) {
        return scalar(db_, QStringLiteral("SELECT COUNT(*) FROM AUDIT_LOG WHERE ACTION = ?"),
                      {action})
            .toInt();
    }
    // Every stored officer, membership and audit row, as one text.
    QString dump();
    MessageData retrieval(const QString& id) const;
    // changes: "+CFU,-CFR" adds CFU and removes CFR.
    MessageData save(const QString& id, const QString& changes, bool reset = false) const;
    // The codes of the reply's memberships, "BIS CFR".
    static QString codes(const MessageData& reply);
    // The sign-in's failure text, empty when it worked (the session is then in signedIn).
    QString signIn(const QString& id, const QString& password);
    MessageData send(const MessageData& m);

    zavek::testing::FakeClock clock_;
    QTemporaryDir dir_;
    zavek::testing::Connection connection_{dir_.filePath(QStringLiteral("t.sqlite"))};
    QSqlDatabase& db_ = connection_.db();
    Session session_;
    Session signedIn;
};

using Edit = std::function<void(BackendFixture&, MessageData&)>;

// A request the back end carries out (says: nullptr) or refuses, saying why. The reply is
// addressed as the request and shows the officer's stored memberships, when the officer is one of
// the administrator's region. A refusal stores nothing; a carried-out save has an audit row for
// each stored change, and a password reset empties the officer's hash and asks for a new one.
struct Request {
    const char* name;
    const char* officer;
    const char* changes; // nullptr: a retrieval
    Edit edit;
    const char* says;
    const char* shows; // nullptr: no memberships in the reply
    int auditRows = 0;
    bool reset = false;
};

class RequestTest : public BackendFixture, public ::testing::WithParamInterface<Request> {};

} // namespace zavek::backend::testing

#pragma once
#include "backend/clock.h"
#include "backend/sql.h"
#include "common/message.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QSqlDatabase>

namespace zavek::backend {

// Answers retrieval (type 2) and save (type 3) requests against the database.
class RequestProcessor {
    Q_DECLARE_TR_FUNCTIONS(zavek::backend::RequestProcessor)

public:
    explicit RequestProcessor(QSqlDatabase db, const IClock& clock = systemClock());
    // For tests: consulted before every statement of every request from now on.
    void setStatementFaults(IStatementFaults* faults) { faults_ = faults; }
    // Never throws; failures become error replies.
    MessageData process(const MessageData& request);
    // A malformed request gets an error reply if it can be addressed, else an empty array.
    QByteArray process(const QByteArray& request);

private:
    QSqlDatabase db_;
    const IClock& clock_;
    IStatementFaults* faults_ = nullptr;
    StatementCache statements_; // of db_, which outlives it
};

} // namespace zavek::backend

#pragma once
#include "common/message.h"

#include <QByteArray>
#include <QSqlDatabase>

namespace zavek::backend {

// Answers retrieval (type 2) and save (type 3) requests against the database.
class RequestProcessor {
public:
    explicit RequestProcessor(QSqlDatabase db);
    // Never throws; failures become error replies.
    MessageData process(const MessageData& request);
    // A malformed request gets an error reply if it can be addressed, else an empty array.
    QByteArray process(const QByteArray& request);

private:
    QSqlDatabase db_;
};

} // namespace zavek::backend

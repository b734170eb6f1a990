#pragma once
// Answers the screen's requests: retrieval of an officer's memberships and the save of change
// rows, each checked against the session, the administrator's region and the catalogue.

#include "common/message.h"

#include <QByteArray>
#include <QSqlDatabase>

namespace zavek::backend {

inline constexpr std::int32_t kRetrievalType = 2;
inline constexpr std::int32_t kSaveType = 3;

class RequestProcessor {
public:
    explicit RequestProcessor(QSqlDatabase db);
    // Never fails: a refusal or a fault becomes an error reply.
    MessageData process(const MessageData& request);
    // Decodes, processes, encodes; a request that cannot be read is answered only when its
    // address can still be made out, otherwise an empty array comes back.
    QByteArray process(const QByteArray& request);
    // Serialisation retries used by the last save, for the load test.
    int lastRetries() const { return lastRetries_; }

private:
    MessageData retrieve(const MessageData& request, const struct AdminSession& session);
    MessageData save(const MessageData& request, const struct AdminSession& session);
    TableData memberships(const QString& officer);
    bool officerInRegion(const QString& officer, const QString& region);

    QSqlDatabase db_;
    int lastRetries_ = 0;
};

} // namespace zavek::backend

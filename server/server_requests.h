#pragma once
// What the server answers, and what it refuses: the screen's requests go to the request
// processor; sign-in, sign-out, the catalogue read and the officer search are answered here,
// each within the session's own region. No SQL text a client sends is ever run.

#include "backend/clock.h"
#include "backend/request_processor.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <functional>

namespace zavek::server {

class ServerRequests {
    Q_DECLARE_TR_FUNCTIONS(zavek::server::ServerRequests)

public:
    using Log = std::function<void(const QString& line)>;

    ServerRequests(QString connectionName, Log log,
                   const backend::IClock& clock = backend::systemClock());
    // The encoded reply; empty when the request cannot be read at all (the caller drops the
    // client). Refusals are logged with the peer.
    QByteArray handle(const QByteArray& request, const QString& peer);

private:
    MessageData answer(const MessageData& request, const QString& peer);
    // Each fills in the reply, which keeps its address when they fail.
    void signIn(const MessageData& request, MessageData& reply);
    void catalogue(const MessageData& request, MessageData& reply, const QString& peer);
    void officers(const MessageData& request, MessageData& reply);

    QString connectionName_;
    Log log_;
    const backend::IClock& clock_;
    backend::RequestProcessor processor_;
};

} // namespace zavek::server

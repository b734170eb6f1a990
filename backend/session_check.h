#pragma once
// Whether a request's session token belongs to a live session, for every entry point that
// answers requests (the in-process worker and the network server alike).

#include "backend/clock.h"
#include "backend/sql.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

namespace zavek::backend {

namespace session_limits {
inline constexpr int kIdleSeconds = 30 * 60;      // no request for this long ends a session
inline constexpr int kAbsoluteSeconds = 8 * 3600; // and none lasts longer than this
// Use is written back at most this often, so that reads do not all become writes.
inline constexpr int kTouchSeconds = 60;
} // namespace session_limits

struct AdminSession {
    QString adminId;
    QString region;
};

class SessionCheck {
    Q_DECLARE_TR_FUNCTIONS(zavek::backend::SessionCheck)

public:
    SessionCheck(const Sql& sql, const IClock& clock) : sql_(sql), clock_(clock) {}
    // The session's administrator while it is live; nothing for an unknown, forged, expired or
    // signed-out token. A live session's idle time starts again.
    std::optional<AdminSession> check(const QString& token) const;

    static QString expiredText();

private:
    const Sql& sql_;
    const IClock& clock_;
};

} // namespace zavek::backend

#include "common/session_info.h"

#include "common/per_thread.h"

namespace zavek {

SessionInfo& SessionInfo::Instance() {
    return PerThread<SessionInfo>::get();
}

void SessionInfo::establish(QString sessionId, QString region, QString databaseConnection) {
    sessionId_ = std::move(sessionId);
    region_ = std::move(region);
    connection_ = std::move(databaseConnection);
}

void SessionInfo::clear() {
    *this = SessionInfo();
}

} // namespace zavek

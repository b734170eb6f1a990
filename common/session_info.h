#pragma once
#include <QString>

namespace zavek {

// The values that the host's sign-in established, shared per thread.
class SessionInfo {
public:
    static SessionInfo& Instance();

    void SessionId(QString& out) const { out = sessionId_; }
    void Region(QString& out) const { out = region_; }
    QString sessionId() const { return sessionId_; }
    QString region() const { return region_; }

    // The Qt SQL connection name of this session's database, for record-table queries.
    QString databaseConnection() const { return connection_; }

    void establish(QString sessionId, QString region, QString databaseConnection);
    void clear();

private:
    QString sessionId_;
    QString region_;
    QString connection_;
};

} // namespace zavek

#pragma once
// Where the officer selector finds officers.

#include <QString>

#include <memory>
#include <vector>

namespace zavek {

struct OfficerRow {
    QString id;
    QString name;
};

struct OfficerSearchResult {
    std::vector<OfficerRow> rows;
    bool more = false; // further matches exist beyond the cap
};

class IOfficerDirectory {
public:
    virtual ~IOfficerDirectory();
    // Officers of `region` whose identifier or display name contains `text` (case-insensitive;
    // empty text lists all), ordered by name then id, at most `limit`.
    virtual OfficerSearchResult search(const QString& text, const QString& region, int limit) = 0;
};

// Reads the table OFFICER(INSP_ID, OFFICER_NAME, REGION, ...) of a Qt SQL connection. The text
// matches literally, wildcards included. A failing query throws Failure with the database's
// message.
class SqlOfficerDirectory final : public IOfficerDirectory {
public:
    explicit SqlOfficerDirectory(QString connectionName);
    OfficerSearchResult search(const QString& text, const QString& region, int limit) override;

private:
    QString connectionName_;
};

// Asks the back end behind a server, which searches only the session's own region whatever
// region the caller names.
class BackEndOfficerDirectory final : public IOfficerDirectory {
public:
    OfficerSearchResult search(const QString& text, const QString& region, int limit) override;
};

// The directory for the current session: its database when it has one, else the back end.
std::unique_ptr<IOfficerDirectory> sessionOfficerDirectory();

} // namespace zavek

#pragma once
// zavek-admin: the command line for the people who run the system.

#include "admin/console.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace zavek::admin {

namespace exit_code {
inline constexpr int kOk = 0;
inline constexpr int kError = 1;
inline constexpr int kUsage = 2;
} // namespace exit_code

class AdminCli {
    Q_DECLARE_TR_FUNCTIONS(zavek::admin::AdminCli)

public:
    explicit AdminCli(IConsole& console) : console_(console) {}
    // arguments without the program name
    int run(const QStringList& arguments);

    static QString overview();

private:
    int init(const QStringList& args);
    int importCatalogue(const QStringList& args);
    int importOfficers(const QStringList& args);
    int addAdmin(const QStringList& args);
    int audit(const QStringList& args);
    int lockouts(const QStringList& args);

    IConsole& console_;
};

} // namespace zavek::admin

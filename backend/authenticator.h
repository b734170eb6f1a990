#pragma once
// Sign-in and sign-out of administrators, with a lockout against guessing.

#include "backend/clock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <vector>

namespace zavek::backend {

struct Session {
    QString token; // given to the administrator once; the database keeps only its digest
    QString adminId;
    QString adminName;
    QString region;
};

namespace lockout_limits {
inline constexpr int kFreeFailures = 10;     // failures in a row before the first lockout
inline constexpr int kFirstDelaySeconds = 1; // doubled for each failure after that
inline constexpr int kMaxDelaySeconds = 15 * 60;
// How long a name stays locked after its failures-th failure in a row (0: not locked).
int delaySeconds(int failures);
} // namespace lockout_limits

// Failures are counted per name as typed, known or not, so that a name's lockout says
// nothing about whether it exists. Every failure and every lockout is audited.
class Authenticator {
    Q_DECLARE_TR_FUNCTIONS(zavek::backend::Authenticator)

public:
    explicit Authenticator(QSqlDatabase db, const IClock& clock = systemClock());
    // Unknown administrator, wrong password and a locked name fail alike (Failure, kStop).
    Session signIn(const QString& adminId, const QString& password);
    // Ends the session; an unknown token is ignored.
    void signOut(const QString& token);

    static QString refusalText();

private:
    QSqlDatabase db_;
    const IClock& clock_;
};

struct Lockout {
    QString adminId;
    int failures = 0;
    QDateTime lastFailure;
    QDateTime lockedUntil; // invalid when the name is not locked
};

// Every name with failed sign-ins in a row, by name.
std::vector<Lockout> listLockouts(QSqlDatabase db);
// Forgets the name's failures and ends its lockout, audited as done by actor; false when the
// name had none.
bool liftLockout(QSqlDatabase db, const QString& adminId, const QString& actor,
                 const IClock& clock = systemClock());

// Adds an administrator, audited as done by actor, in one transaction.
void addAdministrator(QSqlDatabase& db, const QString& id, const QString& name,
                      const QString& region, const QString& password,
                      const QString& actor = QStringLiteral("operator"));

} // namespace zavek::backend

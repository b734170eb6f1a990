#pragma once
#include <QString>

#include <vector>

namespace zavek::load {

struct Figures {
    QString database; // "SQLite" or "PostgreSQL"
    int sessions = 0;
    int attempted = 0;
    int saved = 0;
    int refused = 0;       // refused by the agency rule: a concurrent save changed the agency
    int conflicts = 0;     // refused because retries ran out: another save of the officer won
    int stale = 0;         // refused because another session changed the groups since the view
    int lostUpdates = 0;   // officers whose stored memberships differ from the audit log
    int otherFailures = 0; // any other error reply
    int retries = 0;       // transactions run again after a conflict; -1 when not counted
    double seconds = 0;
    std::vector<double> latenciesMs; // one per save, saved or refused
    bool timedOut = false;
    QString firstOtherFailure;
    QString verification; // empty when the stored rows equal the replayed audit log

    double savesPerSecond() const { return seconds > 0 ? attempted / seconds : 0; }
};

// The q-quantile (0..1) by nearest rank; 0 for no samples.
double quantile(std::vector<double> samples, double q);

// The runs side by side, one column each.
QString formatFigures(const std::vector<Figures>& runs);

} // namespace zavek::load

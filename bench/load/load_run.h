#pragma once
// Many sessions saving random changes to a shared pool of officers at once, each on its own
// connection and request processor, as administrators on many machines do.

#include "bench/load/load_figures.h"

#include <QString>

namespace zavek::load {

struct LoadOptions {
    int sessions = 16;
    int savesPerSession = 200;
    int officers = 50;
    int timeLimitSeconds = 120; // per database; the sessions stop early when it is reached
    unsigned seed = 20261206;
    // When set, every session opens its own connection to the zavek-server on this loopback
    // port (trusting caFile) instead of running a request processor of its own.
    quint16 serverPort = 0;
    QString caFile;
};

// Runs the load on an empty database at location (created and migrated here) and checks the
// stored memberships against the audit log afterwards.
Figures runLoad(const QString& label, const QString& location, const LoadOptions& options);

} // namespace zavek::load

#pragma once
#include <QDateTime>

namespace zavek::backend {

// Where the back end reads the time, so that tests can move it.
class IClock {
public:
    virtual ~IClock();
    virtual QDateTime now() const = 0; // UTC
};

// The system's clock; one for the process.
const IClock& systemClock();

} // namespace zavek::backend

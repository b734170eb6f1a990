#pragma once
#include "backend/clock.h"

namespace zavek::testing {

// A clock that moves only when the test says so.
class FakeClock final : public backend::IClock {
public:
    QDateTime now() const override { return now_; }
    void advance(qint64 seconds) { now_ = now_.addSecs(seconds); }

private:
    QDateTime now_{QDate(2026, 12, 7), QTime(9, 0), Qt::UTC};
};

} // namespace zavek::testing

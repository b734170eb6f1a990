#pragma once
#include "backend/clock.h"

namespace zavek::testing {

// A clock that moves only when the test says so. It starts at the real time, whole seconds, so
// that a session it opens is live for parts that read the real clock (the worker thread).
class FakeClock final : public backend::IClock {
public:
    QDateTime now() const override { return now_; }
    void advance(qint64 seconds) { now_ = now_.addSecs(seconds); }

private:
    QDateTime now_ = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
};

} // namespace zavek::testing

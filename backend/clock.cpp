#include "backend/clock.h"

namespace zavek::backend {

IClock::~IClock() = default;

namespace {
class SystemClock final : public IClock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};
} // namespace

const IClock& systemClock() {
    static const SystemClock clock;
    return clock;
}

} // namespace zavek::backend

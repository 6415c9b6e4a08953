#pragma once
#include "platform/clock.h"

// The system's clock.
class Real_clock final : public Clock {
public:
    QDateTime Now() override;
    quint64 Steady_tick() override;
};

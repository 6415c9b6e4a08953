#pragma once
// A clock for tests: it tells the time it is set to, and its steady tick
// moves on by a fixed step at every reading.

#include "platform/clock.h"

#include <QDateTime>

class Fake_clock : public Clock {
public:
    QDateTime Now() override { return now; }
    quint64 Steady_tick() override { return tick += tick_step; }

    QDateTime now{QDate(2026, 12, 7), QTime(21, 30, 15)};
    // The last tick given; every reading first moves it on by tick_step.
    quint64 tick = 0;
    quint64 tick_step = 1000;
};

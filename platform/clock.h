#pragma once
// The core part of the platform layer: the clock. The store, the fortune
// and everything else below the windows read the time through here only,
// so that a test can set it. Qt Core only.

#include <QDateTime>
#include <QtGlobal>

class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time, to whole seconds.
    virtual QDateTime Now() = 0;
    // A steady high-resolution tick, for seeding: it never goes back, and
    // two readings within the same second almost always differ.
    virtual quint64 Steady_tick() = 0;
};

#include "platform/clock_real.h"

#include <QTime>
#include <chrono>

QDateTime Real_clock::Now()
{
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now;
}

quint64 Real_clock::Steady_tick()
{
    return quint64(std::chrono::steady_clock::now().time_since_epoch().count());
}

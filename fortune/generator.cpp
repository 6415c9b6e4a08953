#include "fortune/generator.h"

#include <bit>

namespace {

constexpr quint64 Golden_step = 0x9e3779b97f4a7c15ULL;
constexpr quint64 Reseed_salt = 0xd1b54a32d192ed03ULL;
constexpr quint64 Clock_salt = 0x8cb92ba72f3d8dd7ULL;
constexpr quint64 Tick_salt = 0xaef17502108ef2d9ULL;

}  // namespace

quint64 Mix64(quint64 x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

quint64 Fortune_generator::Next()
{
    state += Golden_step;
    return Mix64(state);
}

double Fortune_generator::Draw()
{
    // The top 53 bits, scaled by 2^-53: exactly representable, below 1.
    return double(Next() >> 11) * 0x1.0p-53;
}

void Fortune_generator::Seed_from_clock(const QDateTime& now, quint64 tick)
{
    const quint64 clock = quint64(now.toMSecsSinceEpoch());
    state = Mix64(Mix64(state ^ Mix64(clock ^ Clock_salt)) ^ Mix64(tick ^ Tick_salt));
}

void Fortune_generator::Reseed(double x)
{
    // 0.0 and -0.0 are the same seed.
    const quint64 bits = x == 0.0 ? 0 : std::bit_cast<quint64>(x);
    state = Mix64(state ^ Mix64(bits ^ Reseed_salt));
}

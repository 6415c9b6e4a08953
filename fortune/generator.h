#pragma once
// The pseudo-random generator behind the fortune. One generator serves
// every drawing of the run: its state carries over from one fortune to the
// next.

#include <QDateTime>
#include <QtGlobal>

class Random_generator {
public:
    virtual ~Random_generator() = default;
    // The next value, uniform in [0, 1).
    virtual double Draw() = 0;
    // Moves the state to a position derived from the clock (the time and a
    // steady tick read from it), so that drawings started at different
    // moments start differently.
    virtual void Seed_from_clock(const QDateTime& now, quint64 tick) = 0;
    // Mixes x into the state. The state afterwards depends on x and on the
    // state before, so re-seeding with the same x twice does not return the
    // generator to where it was.
    virtual void Reseed(double x) = 0;
};

// A 64-bit generator in the SplitMix64 family: the state advances by a fixed
// odd step and every output is the state through a strong bit mixer. Draws
// carry 53 bits. A re-seed passes the state, combined with the mixed bits of
// x, through the mixer once more; the mixer is a bijection, so no two states
// collapse into one and nothing of the earlier state is thrown away.
class Fortune_generator final : public Random_generator {
public:
    Fortune_generator() = default;
    explicit Fortune_generator(quint64 initial_state) : state(initial_state) {}

    double Draw() override;
    // The clock's time has whole seconds only, and one fortune seeds from
    // the clock several times within the same second: the seed also takes
    // the clock's steady high-resolution tick and the state before it.
    void Seed_from_clock(const QDateTime& now, quint64 tick) override;
    void Reseed(double x) override;

    quint64 State() const { return state; }

private:
    quint64 Next();

    quint64 state = 0x2545f4914f6cdd1dULL;
};

// The 64-bit finaliser of SplitMix64: a bijection with full avalanche.
quint64 Mix64(quint64 x);

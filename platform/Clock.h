#pragma once
#include <cstdint>

// Wall clock in whole seconds since the epoch; the play-order generator is seeded from it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t NowSeconds() = 0;
};

// The system clock (time(nullptr)).
class SystemClock final : public Clock {
public:
    int64_t NowSeconds() override;
};

// Monotonic milliseconds from an arbitrary origin: the player's timer keeps its pace by it.
class SteadyClock {
public:
    virtual ~SteadyClock() = default;
    virtual int64_t NowMs() = 0;
};

// std::chrono::steady_clock.
class SystemSteadyClock final : public SteadyClock {
public:
    int64_t NowMs() override;
};

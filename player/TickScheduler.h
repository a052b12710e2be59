#pragma once
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "player/MainTick.h"

class SteadyClock;

// Runs the player's timer calls on a fixed grid: call k is due at start + k * period, whatever
// wakes the timer, so the full ticks keep their pace (150 ms while idle) through naps and rests.
//
// States (user-interface thread only):
//   Running  - the next call is armed at its due time on the grid.
//   Napping  - the calls before the next full tick have nothing to do (TickPace::Nap): only the
//              full tick is armed; the calls skipped count as slept.
//   Resting  - nothing can change (TickPace::Rest): no call is armed.
//   Stopped  - the quit has run (TickPace::Stop) or Stop() was called; nothing runs again.
// Wake() (any input to the application's windows, a drop, a move, a request written to the
// records) turns Napping or Resting into Running: the calls whose due time passed count as slept
// (MainTick::Slept), and the next call is armed at its due time, within one period.
class TickScheduler final : public QObject {
public:
    // `timerCall` runs one timer call and says how the timer goes on.
    TickScheduler(SteadyClock& clock, MainTick& tick, std::function<TickPace()> timerCall, int periodMs);
    ~TickScheduler() override;

    // The first call one period from now; installs the application-wide event filter that wakes.
    void Start();
    void Stop();
    void Wake();
    bool Resting() const { return m_mode == Mode::Resting; }
    bool Napping() const { return m_mode == Mode::Napping; }
    // The clock time (ms) the next call is due; -1 while resting or stopped. For tests that
    // drive the grid with their own clock.
    int64_t DueMs() const;
    // Runs the call that is due (the timer's timeout).
    void RunDueCall();

private:
    enum class Mode { Running, Napping, Resting, Stopped };
    int64_t Due(int64_t index) const { return m_origin + index * m_period; }
    int64_t IndexNow() const;
    void Arm(int64_t index);

    SteadyClock& m_clock;
    MainTick& m_tick;
    std::function<TickPace()> m_timerCall;
    const int m_period;
    int64_t m_origin = 0;
    int64_t m_next = 1;   // index of the next call that runs
    int64_t m_armed = 1;  // index of the call the timer is armed for
    Mode m_mode = Mode::Stopped;
    QTimer m_timer;                    // single shot, re-armed for every call
    std::unique_ptr<QObject> m_waker;  // the event filter that calls Wake()
};

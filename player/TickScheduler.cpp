#include "player/TickScheduler.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>
#include <utility>

#include "platform/Clock.h"

namespace {
// An application-wide event filter that wakes the timer on whatever input may change the
// player: keys and the mouse on any of the application's windows, drops, window moves and
// state changes. Requests written by anything else (the desktop bus, a hand-over, the windows)
// wake through the records' ledger. It never consumes an event.
class WakeOnInput final : public QObject {
public:
    explicit WakeOnInput(std::function<void()> wake) : m_wake(std::move(wake)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::DragEnter:
        case QEvent::Drop:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Close:
        case QEvent::WindowStateChange:
        case QEvent::ApplicationStateChange: m_wake(); break;
        default: break;
        }
        return false;
    }

private:
    std::function<void()> m_wake;
};
}  // namespace

TickScheduler::TickScheduler(SteadyClock& clock, MainTick& tick, std::function<TickPace()> timerCall, int periodMs)
    : m_clock(clock), m_tick(tick), m_timerCall(std::move(timerCall)), m_period(periodMs) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TickScheduler::RunDueCall);
}

TickScheduler::~TickScheduler() { Stop(); }

void TickScheduler::Start() {
    m_origin = m_clock.NowMs();
    m_next = 1;
    m_mode = Mode::Running;
    Arm(m_next);
    auto waker = std::make_unique<WakeOnInput>([this] { Wake(); });
    qApp->installEventFilter(waker.get());
    m_waker = std::move(waker);
}

void TickScheduler::Stop() {
    m_mode = Mode::Stopped;
    m_timer.stop();
    if (m_waker) qApp->removeEventFilter(m_waker.get());
    m_waker.reset();
}

int64_t TickScheduler::IndexNow() const { return (m_clock.NowMs() - m_origin) / m_period; }

int64_t TickScheduler::DueMs() const { return m_mode == Mode::Running || m_mode == Mode::Napping ? Due(m_armed) : -1; }

void TickScheduler::Arm(int64_t index) {
    m_armed = index;
    m_timer.start(static_cast<int>(std::max<int64_t>(0, Due(index) - m_clock.NowMs())));
}

void TickScheduler::Wake() {
    if (m_mode != Mode::Napping && m_mode != Mode::Resting) return;
    // The calls due up to now are slept; the next one comes at its place on the grid.
    const int64_t now = IndexNow();
    if (now >= m_next) m_tick.Slept(static_cast<int>(now - m_next + 1));
    m_next = std::max(m_next, now + 1);
    m_mode = Mode::Running;
    Arm(m_next);
}

void TickScheduler::RunDueCall() {
    if (m_mode != Mode::Running && m_mode != Mode::Napping) return;
    // A late timer (a long operation held the loop) runs the call of now; those it missed
    // count as slept, so the full ticks stay on the grid.
    const int64_t call = std::max(m_armed, IndexNow());
    if (call > m_next) m_tick.Slept(static_cast<int>(call - m_next));
    m_next = call + 1;
    m_mode = Mode::Running;
    switch (m_timerCall()) {
    case TickPace::Run: Arm(m_next); break;
    case TickPace::Nap:
        m_mode = Mode::Napping;
        Arm(call + m_tick.CallsToFullTick());
        break;
    case TickPace::Rest:
        m_mode = Mode::Resting;
        m_timer.stop();
        break;
    case TickPace::Stop: Stop(); break;
    }
}

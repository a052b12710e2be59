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
    explicit WakeOnInput(std::function<void()> wake) : wake_(std::move(wake)) {}

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
        case QEvent::ApplicationStateChange: wake_(); break;
        default: break;
        }
        return false;
    }

private:
    std::function<void()> wake_;
};
}  // namespace

TickScheduler::TickScheduler(SteadyClock& clock, MainTick& tick, std::function<TickPace()> timerCall, int periodMs)
    : clock_(clock), tick_(tick), timerCall_(std::move(timerCall)), period_(periodMs) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TickScheduler::RunDueCall);
}

TickScheduler::~TickScheduler() { Stop(); }

void TickScheduler::Start() {
    origin_ = clock_.NowMs();
    next_ = 1;
    mode_ = Mode::Running;
    Arm(next_);
    auto waker = std::make_unique<WakeOnInput>([this] { Wake(); });
    qApp->installEventFilter(waker.get());
    waker_ = std::move(waker);
}

void TickScheduler::Stop() {
    mode_ = Mode::Stopped;
    timer_.stop();
    if (waker_) qApp->removeEventFilter(waker_.get());
    waker_.reset();
}

int64_t TickScheduler::IndexNow() const { return (clock_.NowMs() - origin_) / period_; }

int64_t TickScheduler::DueMs() const { return mode_ == Mode::Running || mode_ == Mode::Napping ? Due(armed_) : -1; }

void TickScheduler::Arm(int64_t index) {
    armed_ = index;
    timer_.start(static_cast<int>(std::max<int64_t>(0, Due(index) - clock_.NowMs())));
}

void TickScheduler::Wake() {
    if (mode_ != Mode::Napping && mode_ != Mode::Resting) return;
    // The calls due up to now are slept; the next one comes at its place on the grid.
    const int64_t now = IndexNow();
    if (now >= next_) tick_.Slept(static_cast<int>(now - next_ + 1));
    next_ = std::max(next_, now + 1);
    mode_ = Mode::Running;
    Arm(next_);
}

void TickScheduler::RunDueCall() {
    if (mode_ != Mode::Running && mode_ != Mode::Napping) return;
    // A late timer (a long operation held the loop) runs the call of now; those it missed
    // count as slept, so the full ticks stay on the grid.
    const int64_t call = std::max(armed_, IndexNow());
    if (call > next_) tick_.Slept(static_cast<int>(call - next_));
    next_ = call + 1;
    mode_ = Mode::Running;
    switch (timerCall_()) {
    case TickPace::Run: Arm(next_); break;
    case TickPace::Nap:
        mode_ = Mode::Napping;
        Arm(call + tick_.CallsToFullTick());
        break;
    case TickPace::Rest:
        mode_ = Mode::Resting;
        timer_.stop();
        break;
    case TickPace::Stop: Stop(); break;
    }
}

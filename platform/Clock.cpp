#include "platform/Clock.h"

#include <chrono>
#include <ctime>

int64_t SystemClock::NowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

int64_t SystemSteadyClock::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

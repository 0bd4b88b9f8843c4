#include "KvClock.h"

#include <thread>

KvClock::Duration KvSteadyClock::Now() {
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch());
}

void KvSteadyClock::SleepFor(Duration d) {
    if (d.count() > 0) std::this_thread::sleep_for(d);
}

KvClock& SteadyClock() {
    static KvSteadyClock clock;
    return clock;
}

#pragma once
#include <chrono>
#include <cstdint>

// The one clock behind the per-byte waits of virtual ports and the workflows'
// sleep. The program uses the steady clock; tests use a virtual clock, so a
// full scan runs in milliseconds while the clock records what it would take.
class KvClock {
public:
    using Duration = std::chrono::microseconds;
    virtual ~KvClock() = default;
    virtual Duration Now() = 0;
    virtual void SleepFor(Duration d) = 0;
    void SleepUntil(Duration t) {
        const Duration now = Now();
        if (t > now) SleepFor(t - now);
    }
};

class KvSteadyClock final : public KvClock {
public:
    Duration Now() override;
    void SleepFor(Duration d) override;
};

// Time moves only when somebody sleeps.
class KvVirtualClock final : public KvClock {
public:
    Duration Now() override { return now_; }
    void SleepFor(Duration d) override {
        if (d.count() > 0) {
            now_ += d;
            slept_ += d;
        }
    }
    // Total time spent in SleepFor since construction or the last ResetSlept.
    Duration Slept() const { return slept_; }
    void ResetSlept() { slept_ = Duration::zero(); }

private:
    Duration now_{0};
    Duration slept_{0};
};

// The process-wide steady clock.
KvClock& SteadyClock();

#pragma once
// The radio between two simulated modules. Once both run in transparent mode
// as a matched pair (one master, one slave, on the same channel, each one's
// partner address the other's own address), what one module hears on its
// serial line goes over the air and comes out of the other's serial line, at
// that module's line settings. In standard mode nothing goes over the air.
//
// The bytes a module passes on are gathered into air frames of at most
// `frameBytes` bytes; a frame also ends when the serial line has been idle for
// `idle` (three character times when 0). Frames take the one shared channel in turn (the air
// is half duplex) at `airBps`, arrive `latency` later, and may be lost (each
// with `lossRate`) or have bits flipped (each bit with `bitErrorRate`). Every
// frame's fate is logged. Each direction has its own generator seeded from
// `seed`, so the k-th frame of a direction meets the same fate in every run.
//
// No I/O and no clock of its own: the modules hand it bytes with their times,
// and the front-end calls Advance with the time now.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "TarnikModule.h"

namespace tarnik::sim {

struct RadioConfig {
    Micros latency{5000};
    double lossRate = 0;      // 0 to 1
    double bitErrorRate = 0;  // 0 to 1
    std::uint32_t airBps = 250000;
    std::size_t frameBytes = 64;
    Micros idle{0};
    std::uint64_t seed = 1;
};

// Bytes of framing an air frame carries besides its payload (preamble,
// address, length, check), for its time on the air.
constexpr std::size_t kAirFrameOverhead = 12;

struct AirFrame {
    enum class Fate { Delivered, Dropped, Corrupted };
    int from = 0;             // 0 the first module, 1 the second
    std::uint64_t index = 0;  // counted per direction from 0
    std::size_t bytes = 0;
    Fate fate = Fate::Delivered;
    int flippedBits = 0;
    Micros sentAt{0};
    Micros arrivesAt{0};
};

const char* FateName(AirFrame::Fate fate);

class Radio {
public:
    // Attaches itself to both modules; it must outlive their traffic.
    Radio(RadioConfig config, Module& first, Module& second);
    ~Radio();
    Radio(const Radio&) = delete;
    Radio& operator=(const Radio&) = delete;

    // Both modules run in transparent mode as a matched pair.
    bool Linked() const;

    // A byte `from` passes on, complete at the module at `at` (Module::Receive).
    void Carry(const Module& from, std::uint8_t byte, Micros at);
    // Ends the frames whose serial line has been idle long enough by `now` and
    // sends them.
    void Advance(Micros now);
    // When Advance next has something to do.
    std::optional<Micros> NextDeadline() const;

    const std::vector<AirFrame>& Log() const { return log_; }
    // Bytes passed on while the pair was not linked: nobody heard them.
    std::uint64_t UnheardBytes() const { return unheard_; }
    const RadioConfig& Config() const { return config_; }

private:
    struct Gathering {
        std::string bytes;
        Micros lastAt{0};
        Micros gap{0};
        std::uint64_t frames = 0;
        std::mt19937_64 random;
    };
    void Close(int side);
    double Uniform(std::mt19937_64& random);

    RadioConfig config_;
    Module* modules_[2];
    Gathering gathering_[2];
    Micros airBusyUntil_{0};
    std::vector<AirFrame> log_;
    std::uint64_t unheard_ = 0;
};

}  // namespace tarnik::sim

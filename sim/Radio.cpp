#include "Radio.h"

#include <algorithm>

namespace tarnik::sim {

namespace {

// Idle character times that end an air frame.
constexpr int kIdleCharacters = 3;

}  // namespace

const char* FateName(AirFrame::Fate fate) {
    switch (fate) {
    case AirFrame::Fate::Dropped: return "dropped";
    case AirFrame::Fate::Corrupted: return "corrupted";
    case AirFrame::Fate::Delivered: break;
    }
    return "delivered";
}

Radio::Radio(RadioConfig config, Module& first, Module& second) : config_(config), modules_{&first, &second} {
    config_.frameBytes = std::max<std::size_t>(config_.frameBytes, 1);
    config_.airBps = std::max<std::uint32_t>(config_.airBps, 1);
    for (int side = 0; side < 2; ++side) {
        gathering_[side].random.seed(config_.seed * 2 + static_cast<std::uint64_t>(side));
        modules_[side]->AttachRadio(this);
    }
}

Radio::~Radio() {
    for (Module* module : modules_) module->AttachRadio(nullptr);
}

bool Radio::Linked() const {
    const Module& a = *modules_[0];
    const Module& b = *modules_[1];
    if (!a.Transparent() || !b.Transparent()) return false;
    const Bank& ra = a.Running();
    const Bank& rb = b.Running();
    const bool roles = (ra.mode == 1 && rb.mode == 2) || (ra.mode == 2 && rb.mode == 1);
    return roles && ra.frequency == rb.frequency && ra.partnerAddress == rb.address && rb.partnerAddress == ra.address;
}

void Radio::Carry(const Module& from, std::uint8_t byte, Micros at) {
    const int side = &from == modules_[0] ? 0 : 1;
    Gathering& g = gathering_[side];
    // A byte after an idle line starts a new frame.
    if (!g.bytes.empty() && at >= g.lastAt + g.gap) Close(side);
    g.bytes.push_back(static_cast<char>(byte));
    g.lastAt = at;
    g.gap = config_.idle.count() > 0 ? config_.idle : FrameTime(from.LineAt(at)) * kIdleCharacters;
    if (g.bytes.size() >= config_.frameBytes) Close(side);
}

void Radio::Advance(Micros now) {
    for (int side = 0; side < 2; ++side) {
        const Gathering& g = gathering_[side];
        if (!g.bytes.empty() && now >= g.lastAt + g.gap) Close(side);
    }
}

std::optional<Micros> Radio::NextDeadline() const {
    std::optional<Micros> next;
    for (const Gathering& g : gathering_) {
        if (g.bytes.empty()) continue;
        const Micros due = g.lastAt + g.gap;
        if (!next || due < *next) next = due;
    }
    return next;
}

double Radio::Uniform(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * 0x1.0p-53; }

void Radio::Close(int side) {
    Gathering& g = gathering_[side];
    std::string bytes;
    bytes.swap(g.bytes);
    const Micros closedAt = g.lastAt;
    if (!Linked()) {
        // No partner listens: the frame goes nowhere and draws no fate.
        unheard_ += bytes.size();
        return;
    }
    AirFrame frame;
    frame.from = side;
    frame.index = g.frames++;
    frame.bytes = bytes.size();
    // The fate is drawn the same way for every frame, whatever it turns out
    // to be, so one frame's fate never shifts the next one's.
    const bool lost = Uniform(g.random) < config_.lossRate;
    for (std::size_t i = 0; i < bytes.size() * 8; ++i) {
        if (Uniform(g.random) < config_.bitErrorRate) {
            bytes[i / 8] = static_cast<char>(static_cast<std::uint8_t>(bytes[i / 8]) ^ (1u << (i % 8)));
            ++frame.flippedBits;
        }
    }
    frame.fate = lost                    ? AirFrame::Fate::Dropped
                 : frame.flippedBits > 0 ? AirFrame::Fate::Corrupted
                                         : AirFrame::Fate::Delivered;

    const Micros airTime{static_cast<long long>((bytes.size() + kAirFrameOverhead) * 8 * 1000000ULL / config_.airBps)};
    frame.sentAt = std::max(closedAt, airBusyUntil_);
    airBusyUntil_ = frame.sentAt + airTime;
    frame.arrivesAt = airBusyUntil_ + config_.latency;
    if (!lost) modules_[1 - side]->FromAir(bytes, frame.arrivesAt);
    log_.push_back(frame);
}

}  // namespace tarnik::sim

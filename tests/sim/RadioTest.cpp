// The radio between two simulated modules, driven byte by byte with explicit
// times: when it relays, and what its losses and bit errors do to the bytes.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>

#include "Radio.h"

namespace {

using tarnik::sim::AirFrame;
using tarnik::sim::LineSettings;
using tarnik::sim::Micros;
using tarnik::sim::Module;
using tarnik::sim::ModuleConfig;
using tarnik::sim::Radio;
using tarnik::sim::RadioConfig;

ModuleConfig Powered(int storedMode) {
    ModuleConfig config;
    config.line = LineSettings{57600, '8', 'N', '1'};
    config.storedMode = storedMode;
    return config;
}

// Writes `bytes` to `from` at its line settings, back to back from `at`, lets
// the radio finish, and returns what `to` puts out on its serial line.
std::string Relay(Radio& radio, Module& from, Module& to, const std::string& bytes, Micros at = Micros{0}) {
    for (const char c : bytes) at = from.Receive(static_cast<std::uint8_t>(c), from.Config().line, at);
    radio.Advance(at + std::chrono::seconds(1));
    std::string out;
    Micros last{0};
    while (!to.PendingOutput().empty()) {
        const auto b = to.TakeOutput();
        EXPECT_GE(b.due - last, tarnik::sim::FrameTime(to.Config().line));  // paced at the line rate
        last = b.due;
        out.push_back(static_cast<char>(b.byte));
    }
    return out;
}

}  // namespace

TEST(Radio, RelaysOnlyBetweenAMatchedTransparentPair) {
    struct Row {
        const char* what;
        int firstMode, secondMode;
        int secondFrequency, secondPartner;
        bool relayed;
    };
    const Row rows[] = {
        {"master and slave", 1, 2, 0, 0, true}, {"slave and master", 2, 1, 0, 1, true},
        {"two masters", 1, 1, 0, 1, false},     {"one in standard mode", 1, 0, 0, 0, false},
        {"other channel", 1, 2, 5, 0, false},   {"partner address of another module", 1, 2, 0, 7, false},
    };
    const std::string data = "0123456789abcdefghijklmnopqrstuvwxyz ~ 0123456789abcdefghijklmnopqrstuvwxyz";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Module first(Powered(row.firstMode));
        Module second(Powered(row.secondMode));
        second.MutableRunning().frequency = row.secondFrequency;
        second.MutableRunning().partnerAddress = row.secondPartner;
        Radio radio(RadioConfig{}, first, second);
        EXPECT_EQ(radio.Linked(), row.relayed);
        EXPECT_EQ(Relay(radio, first, second, data), row.relayed ? data : "");
        EXPECT_EQ(Relay(radio, second, first, data, Micros{std::chrono::seconds(5)}), row.relayed ? data : "");
        // A module in standard mode passes nothing on; a transparent one without its partner to nobody.
        const std::size_t passedOn = (first.Transparent() ? 1 : 0) + (second.Transparent() ? 1 : 0);
        EXPECT_EQ(radio.UnheardBytes(), row.relayed ? 0u : passedOn * data.size());
        // Nothing was taken as a request on either side.
        EXPECT_TRUE(first.Log().empty());
        EXPECT_TRUE(second.Log().empty());
    }
}

TEST(Radio, LogsEveryLostAndSpoiltFrameAndOnlyThoseDifferFromWhatWasSent) {
    // 1000 frames of 64 bytes; 2 % loss and a bit-error rate that spoils
    // about 3 % of the frames (1 - (1 - 6e-5)^512).
    RadioConfig config;
    config.lossRate = 0.02;
    config.bitErrorRate = 6e-5;
    config.seed = 42;
    Module first(Powered(1));
    Module second(Powered(2));
    Radio radio(config, first, second);
    std::string sent;
    for (int i = 0; i < 64000; ++i) sent.push_back(static_cast<char>('!' + i % 90));
    const std::string received = Relay(radio, first, second, sent);

    int dropped = 0, corrupted = 0;
    std::size_t offset = 0, at = 0;
    for (const AirFrame& frame : radio.Log()) {
        ASSERT_EQ(frame.bytes, 64u);
        if (frame.fate == AirFrame::Fate::Dropped) {
            ++dropped;
        } else {
            int flipped = 0;
            for (std::size_t k = 0; k < frame.bytes; ++k) {
                flipped += std::popcount(
                    static_cast<unsigned>(static_cast<std::uint8_t>(sent[offset + k] ^ received[at + k])));
            }
            EXPECT_EQ(flipped, frame.flippedBits) << "frame " << frame.index;
            EXPECT_EQ(frame.fate == AirFrame::Fate::Corrupted, flipped > 0) << "frame " << frame.index;
            corrupted += frame.fate == AirFrame::Fate::Corrupted;
            at += frame.bytes;
        }
        offset += frame.bytes;
    }
    EXPECT_EQ(radio.Log().size(), 1000u);
    EXPECT_EQ(at, received.size());
    // Within four standard deviations of the binomial counts.
    const double spoilt = 1 - std::pow(1 - config.bitErrorRate, 512);
    EXPECT_NEAR(dropped, 20, 4 * std::sqrt(1000 * 0.02 * 0.98));
    EXPECT_NEAR(corrupted, 980 * spoilt, 4 * std::sqrt(980 * spoilt * (1 - spoilt)));

    // The same seed meets the same fates.
    Module again1(Powered(1));
    Module again2(Powered(2));
    Radio again(config, again1, again2);
    EXPECT_EQ(Relay(again, again1, again2, sent), received);
}

#pragma once
// A KvDevice attached through a real KvSerialConduit to a ScriptedPort that
// records every request line and answers from a script.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "KvClock.h"
#include "KvDevice.h"
#include "KvSerialConduit.h"
#include "KvVirtualPort.h"
#include "ScriptedPort.h"

class DeviceOnScriptedPort : public ::testing::Test {
protected:
    DeviceOnScriptedPort() : port(std::make_shared<ScriptedPort>(clock)), registration("PROTO7", port) {
        auto* serial = new KvSerialConduit();
        serial->portName = "PROTO7";
        serial->SetLineSettings(9600, '8', 'N', '1');
        serial->SelectTimeout();
        device.conduit = serial;
    }

    void Answer(std::initializer_list<const char*> lines) {
        for (const char* line : lines) port->answers.emplace_back(line);
    }
    // Request lines written since the last call.
    std::vector<std::string> Sent() {
        std::vector<std::string> lines(port->lines.begin() + static_cast<std::ptrdiff_t>(taken), port->lines.end());
        taken = port->lines.size();
        return lines;
    }
    using Lines = std::vector<std::string>;

    KvVirtualClock clock;
    std::shared_ptr<ScriptedPort> port;
    KvVirtualPorts::Registration registration;
    KvDevice device;

private:
    std::size_t taken = 0;
};

// Fills both banks with values no test writes, so every change shows.
inline void Mark(SettingBank& bank, int seed) {
    bank.mode = static_cast<std::uint8_t>(seed);
    bank.address = static_cast<std::uint16_t>(seed + 1);
    bank.pan = static_cast<std::uint16_t>(seed + 2);
    bank.frequency = static_cast<std::uint8_t>(seed + 3);
    bank.retryCount = static_cast<std::uint8_t>(seed + 4);
    bank.led = 1;
    bank.partnerAddress = static_cast<std::uint16_t>(seed + 5);
    bank.baudRate = 1200 + seed;
    bank.dataBits = '7';
    bank.parity = 'O';
    bank.stopBits = '2';
    for (int& pin : bank.pinFunctions) pin = '9';
}

inline bool SameBank(const SettingBank& a, const SettingBank& b) {
    return a.mode == b.mode && a.address == b.address && a.pan == b.pan && a.frequency == b.frequency &&
           a.retryCount == b.retryCount && a.led == b.led && a.partnerAddress == b.partnerAddress &&
           a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.parity == b.parity &&
           a.stopBits == b.stopBits && a.pinFunctions[0] == b.pinFunctions[0] &&
           a.pinFunctions[1] == b.pinFunctions[1] && a.pinFunctions[2] == b.pinFunctions[2] &&
           a.pinFunctions[3] == b.pinFunctions[3];
}

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

// Gives `device` a serial conduit of its own on `portName` at 9600 8N1.
inline void AttachAt9600(KvDevice& device, const char* portName) {
    auto* serial = new KvSerialConduit();
    serial->portName = portName;
    serial->SetLineSettings(9600, '8', 'N', '1');
    serial->SelectTimeout();
    device.conduit = serial;
}

class DeviceOnScriptedPort : public ::testing::Test {
protected:
    DeviceOnScriptedPort() : port(std::make_shared<ScriptedPort>(clock)), registration("PROTO7", port) {
        AttachAt9600(device, "PROTO7");
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

// A bank's line settings as the module writes them, "9600,8,N,1".
inline std::string LineText(const SettingBank& b) {
    return std::to_string(b.baudRate) + "," + static_cast<char>(b.dataBits) + "," + static_cast<char>(b.parity) + "," +
           static_cast<char>(b.stopBits);
}

// A whole bank as one line of text, so that a mismatch shows which setting differs.
inline std::string BankText(const SettingBank& b) {
    std::string pins;
    for (const std::int32_t pin : b.pinFunctions) pins += static_cast<char>(pin);
    return "mode " + std::to_string(b.mode) + " address " + std::to_string(b.address) + " pan " +
           std::to_string(b.pan) + " frequency " + std::to_string(b.frequency) + " retries " +
           std::to_string(b.retryCount) + " led " + std::to_string(b.led) + " partner " +
           std::to_string(b.partnerAddress) + " line " + LineText(b) + " pins " + pins;
}

// Both banks of a device, running first.
inline std::string Banks(const KvDevice& d) { return BankText(d.running) + " / " + BankText(d.stored); }

// The same text with every value that has a cache getter read through it.
inline std::string GetterText(const KvDevice& d, bool stored) {
    SettingBank b = stored ? d.stored : d.running;
    b.mode = d.GetMode(stored);
    b.address = d.GetAddress(stored);
    b.frequency = d.GetFrequency(stored);
    b.baudRate = d.GetBaudRate(stored);
    b.dataBits = d.GetDataBits(stored);
    b.parity = d.GetParity(stored);
    b.stopBits = d.GetStopBits(stored);
    for (int pin = 0; pin < 4; ++pin) b.pinFunctions[pin] = d.GetPinFunction(pin, stored);
    return BankText(b);
}

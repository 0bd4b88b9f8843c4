#pragma once
// A document wired to a scripted port on the virtual clock, with a recorder host.
#include <memory>
#include <string>

#include "CVelmoraDoc.h"
#include "KvClock.h"
#include "KvVirtualPort.h"
#include "RecorderHost.h"
#include "ScriptedPort.h"

struct ScriptedRig {
    explicit ScriptedRig(const char* portName = "COM7")
        : name(portName),
          port(std::make_shared<ScriptedPort>(clock)),
          registration(name, port),
          host(clock),
          doc(host) {
        doc.SetPortName(name.c_str());
    }

    // A device as a search would leave it: found on this port at these settings.
    KvSerialConduit& Attach(std::uint32_t baud = 9600, char dataBits = '8', char parity = 'N', char stopBits = '1') {
        auto device = std::make_unique<KvDevice>();
        auto* conduit = new KvSerialConduit();
        conduit->portName = name.c_str();
        conduit->SetLineSettings(baud, dataBits, parity, stopBits);
        conduit->SelectTimeout();
        device->conduit = conduit;
        doc.device = std::move(device);
        return *conduit;
    }
    KvSerialConduit* Conduit() const {
        return doc.device ? dynamic_cast<KvSerialConduit*>(doc.device->conduit) : nullptr;
    }
    void Answer(std::initializer_list<const char*> lines) {
        for (const char* line : lines) port->answers.emplace_back(line);
    }

    std::string name;
    KvVirtualClock clock;
    std::shared_ptr<ScriptedPort> port;
    KvVirtualPorts::Registration registration;
    RecorderHost host;
    CVelmoraDoc doc;
};

// Answers of a module at address 25, channel 10, 9600 8N1, pins 0120.
inline const char* const kReadAllAnswers[] = {"*VER: 1.00.003\r\n", "*MOD: 0/0\r\n", "*SAD: 25/25\r\n",
                                              "*PAD: 7/7\r\n",      "*PAN: 0/0\r\n", "*FRQ: 10/10\r\n",
                                              "*RTY: 3/3\r\n",      "*LED: 1/1\r\n", "*SCI: 9600,8,N,1/9600,8,N,1\r\n",
                                              "*PFC: 0120/0120\r\n"};

// The record as the settings window leaves it before a write: address 25,
// channel 10, 38400 8E1, pins 1201.
inline void FillRecord(CVelmoraDoc& doc) {
    doc.settings.address = 25;
    doc.settings.frequencyIndex = 10;
    doc.settings.baudRate = 38400;
    doc.settings.dataBits = '8';
    doc.settings.parity = 'E';
    doc.settings.stopBits = '1';
    doc.settings.pinFunctions[0] = '1';
    doc.settings.pinFunctions[1] = '2';
    doc.settings.pinFunctions[2] = '0';
    doc.settings.pinFunctions[3] = '1';
    // As a read leaves the cache: pin requests are built from it.
    for (int pin = 0; pin < 4; ++pin)
        doc.device->running.pinFunctions[pin] = doc.device->stored.pinFunctions[pin] = '0';
}

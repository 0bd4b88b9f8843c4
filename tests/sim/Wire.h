#pragma once
// Drives a simulated module from the program's end of the line, byte by byte,
// on a virtual clock. Request bytes are written by hand.
#include <chrono>
#include <memory>
#include <string>

#include "KvClock.h"
#include "TarnikSim.h"

namespace simtest {

using namespace std::chrono_literals;
using tarnik::sim::Micros;

// The line parameters as the program's conduit applies them: parity 0 none,
// 1 odd, 2 even; stop bits 0 one, 2 two.
inline KvLineParams Params(std::uint32_t baud, char dataBits, char parity, char stopBits) {
    KvLineParams line;
    line.baudRate = baud;
    line.byteSize = dataBits == '7' ? 7 : 8;
    line.parity = parity == 'O' ? 1 : parity == 'E' ? 2 : 0;
    line.parityCheck = parity == 'N' ? 0 : 1;
    line.stopBits = stopBits == '2' ? 2 : 0;
    return line;
}

inline tarnik::sim::ModuleConfig At(std::uint32_t baud, char dataBits, char parity, char stopBits) {
    tarnik::sim::ModuleConfig config;
    config.line = {baud, dataBits, parity, stopBits};
    return config;
}

struct Wire {
    explicit Wire(tarnik::sim::ModuleConfig config = {}, bool paced = true)
        : module(std::make_shared<tarnik::sim::Module>(config)), port(module, clock, paced) {
        const auto& l = config.line;
        Open(Params(l.baud, l.dataBits, l.parity, l.stopBits));
    }

    void Open(const KvLineParams& line, std::uint32_t timeoutMs = 70) {
        if (port.IsOpen()) port.Close();
        port.Open();
        port.SetLine(line);
        port.SetTimeouts({0, 0, timeoutMs, 0, timeoutMs});
    }
    void Switch(std::uint32_t baud, char dataBits, char parity, char stopBits) {
        Open(Params(baud, dataBits, parity, stopBits));
    }

    bool Send(const std::string& bytes) {
        for (const char c : bytes) {
            if (!port.WriteByte(static_cast<std::uint8_t>(c))) return false;
        }
        return true;
    }
    // Bytes up to and including CR LF, or up to the first read time-out.
    std::string Line(std::size_t limit = 400) {
        std::string line;
        std::uint8_t byte = 0;
        while (line.size() < limit && port.ReadByte(byte)) {
            line.push_back(static_cast<char>(byte));
            if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) break;
        }
        return line;
    }
    std::string Ask(const std::string& request) {
        Send(request);
        return Line();
    }
    void Escape() { Send(std::string("\x02\x03Tovenk\x03\x02", 10)); }

    KvVirtualClock clock;
    std::shared_ptr<tarnik::sim::Module> module;
    tarnik::sim::VirtualModulePort port;
};

}  // namespace simtest

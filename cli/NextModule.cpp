#include "NextModule.h"

#include <cstring>

#include "DeviceSettings.h"
#include "Simulation.h"

namespace {

class EnterKeyNext : public NextModule {
public:
    EnterKeyNext(std::string port, std::FILE* in) : port_(std::move(port)), in_(in) {}

    bool Wait(ConsoleHost& host, const std::string& what) override {
        host.Note("connect " + what + " to " + port_ + ", then press Enter (q and Enter ends)");
        char line[64] = {};
        if (!std::fgets(line, sizeof line, in_)) return false;
        return line[0] != 'q' && line[0] != 'Q';
    }
    std::string Port() const override { return port_; }

private:
    std::string port_;
    std::FILE* in_;
};

class SimulatedNext : public NextModule {
public:
    SimulatedNext(std::string port, Simulation& simulation) : port_(std::move(port)), simulation_(simulation) {}

    bool Wait(ConsoleHost& host, const std::string& what) override {
        if (!simulation_.Swap()) {
            host.Info("simulated bench: no module left to swap in");
            return false;
        }
        host.Info("simulated bench: " + what + " (" + FormatSerialNumber(simulation_.SerialNumber()) +
                  ") is connected to " + port_);
        return true;
    }
    std::string Port() const override { return port_; }

private:
    std::string port_;
    Simulation& simulation_;
};

}  // namespace

std::unique_ptr<NextModule> MakeEnterKeyNext(const std::string& port, std::FILE* in) {
    return std::make_unique<EnterKeyNext>(port, in);
}

std::unique_ptr<NextModule> MakeSimulatedNext(const std::string& port, Simulation& simulation) {
    return std::make_unique<SimulatedNext>(port, simulation);
}

#ifndef KV_HAVE_LIBUDEV
std::unique_ptr<NextModule> MakeUsbReplugNext(const std::string&, std::string& problem) {
    problem = "--next usb: this build has no device events (udev); use --next enter";
    return nullptr;
}
#endif

#include "NextModule.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "DeviceSettings.h"
#include "Language.h"
#include "Simulation.h"

namespace {

class EnterKeyNext : public NextModule {
public:
    EnterKeyNext(std::string port, std::FILE* in) : port_(std::move(port)), in_(in) {}

    bool Wait(ConsoleHost& host, const std::string& what) override {
        host.Note(TrFormat("connect %s to %s, then press Enter (q and Enter ends)", what.c_str(), port_.c_str()));
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
            host.Info(Tr("simulated bench: no module left to swap in"));
            return false;
        }
        host.Info(TrFormat("simulated bench: %s (%s) is connected to %s", what.c_str(),
                           FormatSerialNumber(simulation_.SerialNumber()).c_str(), port_.c_str()));
        return true;
    }
    std::string Port() const override { return port_; }

private:
    std::string port_;
    Simulation& simulation_;
};

// The operator of several stations answers every prompt on one terminal:
// the station's number and Enter says its next module is in place (Enter
// alone, when one station waits); q and Enter, or the end of the input, ends
// every station once its unit in hand is done. Whichever waiting station
// finds nobody reading the input reads the next line, for all of them.
class StationPrompts {
public:
    StationPrompts(std::size_t stations, std::FILE* in) : waiting_(stations, false), go_(stations, false), in_(in) {}

    bool Wait(std::size_t k, ConsoleHost& host, const std::string& what, const std::string& port) {
        std::unique_lock<std::mutex> guard(lock_);
        const int station = static_cast<int>(k + 1);
        host.Note(TrFormat("station %d: connect %s to %s, then type %d and Enter (q and Enter ends every station)",
                           station, what.c_str(), port.c_str(), station));
        waiting_[k] = true;
        while (!ended_ && !go_[k]) {
            if (reading_) {
                changed_.wait(guard);
                continue;
            }
            reading_ = true;
            guard.unlock();
            char line[64] = {};
            const bool got = std::fgets(line, sizeof line, in_) != nullptr;
            guard.lock();
            reading_ = false;
            Take(got ? line : nullptr, host);
            changed_.notify_all();
        }
        waiting_[k] = false;
        const bool go = go_[k];
        go_[k] = false;
        return go;
    }

private:
    void Take(const char* line, ConsoleHost& host) {
        if (!line || line[0] == 'q' || line[0] == 'Q') {
            ended_ = true;
            return;
        }
        const unsigned long n = std::strtoul(line, nullptr, 10);
        std::size_t waiting = 0, which = 0;
        for (std::size_t k = 0; k < waiting_.size(); ++k) {
            if (waiting_[k]) ++waiting, which = k;
        }
        if (n == 0 && waiting == 1) {
            go_[which] = true;
        } else if (n >= 1 && n <= waiting_.size() && waiting_[n - 1]) {
            go_[n - 1] = true;
        } else {
            host.Note(Tr("type the number of a station that waits for its next module, then Enter"));
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<bool> waiting_, go_;
    bool reading_ = false;
    bool ended_ = false;
    std::FILE* in_;
};

class StationPrompt : public NextModule {
public:
    StationPrompt(std::shared_ptr<StationPrompts> prompts, std::size_t k, std::string port)
        : prompts_(std::move(prompts)), k_(k), port_(std::move(port)) {}
    bool Wait(ConsoleHost& host, const std::string& what) override { return prompts_->Wait(k_, host, what, port_); }
    std::string Port() const override { return port_; }

private:
    std::shared_ptr<StationPrompts> prompts_;
    std::size_t k_;
    std::string port_;
};

}  // namespace

std::vector<std::unique_ptr<NextModule>> MakeStationPrompts(const std::vector<std::string>& ports, std::FILE* in) {
    auto prompts = std::make_shared<StationPrompts>(ports.size(), in);
    std::vector<std::unique_ptr<NextModule>> stations;
    for (std::size_t k = 0; k < ports.size(); ++k)
        stations.push_back(std::make_unique<StationPrompt>(prompts, k, ports[k]));
    return stations;
}

std::unique_ptr<NextModule> MakeEnterKeyNext(const std::string& port, std::FILE* in) {
    return std::make_unique<EnterKeyNext>(port, in);
}

std::unique_ptr<NextModule> MakeSimulatedNext(const std::string& port, Simulation& simulation) {
    return std::make_unique<SimulatedNext>(port, simulation);
}

#ifndef KV_HAVE_LIBUDEV
std::unique_ptr<NextModule> MakeUsbReplugNext(const std::string&, std::string& problem) {
    problem = Tr("--next usb: this build has no device events (udev); use --next enter");
    return nullptr;
}
#endif

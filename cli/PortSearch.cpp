#include "PortSearch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "CVelmoraDoc.h"
#include "ConsoleHost.h"
#include "DeviceSettings.h"
#include "Failure.h"
#include "KnownLine.h"
#include "Language.h"
#include "Output.h"
#include "Ports.h"
#include "ResourceIds.h"

namespace {

// A quiet console host that publishes how far its search has come.
class SearchHost : public ConsoleHost {
public:
    SearchHost(const ConsoleOptions& options, KvClock& clock, std::FILE* out, std::atomic<int>& position)
        : ConsoleHost(options, clock, out), position_(position) {}
    void SetProgressText(int dialogId, const KvString& text) override {
        ConsoleHost::SetProgressText(dialogId, text);
        if (dialogId == IDD_SCAN) position_.store(scanAttempts);
    }

private:
    std::atomic<int>& position_;
};

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    int running = 0;
};

// "9600 8N1"
std::string LineText(const SerialSettings& line) {
    return std::to_string(line.baudRate) + " " + static_cast<char>(line.dataBits) + static_cast<char>(line.parity) +
           static_cast<char>(line.stopBits);
}

std::string ShortName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SearchOne(PortSearchResult& result, const PortSearchOptions& options, KvClock& clock, std::atomic<int>& position) {
    ConsoleOptions console;
    console.quiet = true;
    // What the workflows tell the user goes nowhere: the result says it.
    std::FILE* sink = std::tmpfile();
    {
        SearchHost host(console, clock, sink ? sink : stderr, position);
        CVelmoraDoc doc(host);
        doc.SetPortName(KvString(result.port.name.c_str(), static_cast<std::int32_t>(result.port.name.size())));
        const FoundModule found = FindModuleTryingLine(doc, host, options.line);
        result.candidate = host.scanAttempts;
        if (found.found && doc.HasDevice()) {
            result.found = true;
            result.line = found.line;
            result.serialNumber = doc.device->serialNumber;
        } else if (host.openFailure) {
            result.problem = FailureSummary(*host.openFailure);
        } else if (host.FirstFailure() == IDD_OPEN_ERROR) {
            result.problem = TrFormat("%s: the port cannot be opened", result.port.name.c_str());
        }
    }
    if (sink) std::fclose(sink);
}

std::string ProgressLine(const std::vector<PortSearchResult>& results, const std::vector<std::atomic<int>>& positions,
                         const std::vector<std::atomic<bool>>& done) {
    std::string line = Tr("search:");
    for (std::size_t k = 0; k < results.size(); ++k) {
        line += (k == 0 ? " " : ", ") + ShortName(results[k].port.name) + " ";
        if (done[k].load()) {
            line += Tr(results[k].found ? N_("found") : (results[k].problem.empty() ? N_("none") : N_("failed")));
        } else {
            line += std::to_string(positions[k].load()) + "/" + std::to_string(kScanCandidateCount);
        }
    }
    return line;
}

}  // namespace

std::vector<PortSearchResult> SearchPorts(const std::vector<KvPortInfo>& ports, const PortSearchOptions& options,
                                          KvClock& clock, std::FILE* progress) {
    std::vector<PortSearchResult> results(ports.size());
    if (ports.empty()) return results;
    std::vector<std::atomic<int>> positions(ports.size());
    std::vector<std::atomic<bool>> done(ports.size());
    Shared shared;
    std::vector<std::thread> threads;
    shared.running = static_cast<int>(ports.size());
    for (std::size_t k = 0; k < ports.size(); ++k) {
        results[k].port = ports[k];
        threads.emplace_back([&, k] {
            SearchOne(results[k], options, clock, positions[k]);
            done[k].store(true);
            const std::lock_guard<std::mutex> guard(shared.lock);
            --shared.running;
            shared.changed.notify_all();
        });
    }
    // The progress: on a terminal ten times a second in place, elsewhere a
    // line every two seconds and the last one.
    const auto every = std::chrono::milliseconds(options.terminal ? 100 : 2000);
    std::unique_lock<std::mutex> guard(shared.lock);
    while (shared.running > 0) {
        shared.changed.wait_for(guard, every);
        if (options.quiet) continue;
        const std::string line = ProgressLine(results, positions, done);
        if (options.terminal) {
            std::fprintf(progress, "\r\033[K%s", line.c_str());
            std::fflush(progress);
        } else if (shared.running > 0) {
            PrintLine(progress, line);
        }
    }
    guard.unlock();
    for (std::thread& t : threads) t.join();
    if (!options.quiet) {
        if (options.terminal) std::fputs("\r\033[K", progress);
        PrintLine(progress, ProgressLine(results, positions, done));
    }
    return results;
}

std::string SearchResultLine(const PortSearchResult& r) {
    std::string line = r.port.name;
    const std::string adapter = PortDescriptionText(r.port);
    if (!adapter.empty()) line += " (" + adapter + ")";
    if (r.found) {
        line += TrFormat(": module %s at %s", FormatSerialNumber(r.serialNumber).c_str(), LineText(r.line).c_str());
    } else if (!r.problem.empty()) {
        line += ": " + r.problem;
    } else {
        line += Tr(": no module answered");
    }
    return line;
}

nlohmann::ordered_json SearchResultJson(const PortSearchResult& r) {
    nlohmann::ordered_json j;
    j["port"] = r.port.name;
    j["adapter"] = r.port.serialNumber.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.port.serialNumber);
    j["serialNumber"] = r.serialNumber;
    j["baudRate"] = r.line.baudRate;
    j["dataBits"] = r.line.dataBits - '0';
    j["parity"] = std::string(1, static_cast<char>(r.line.parity));
    j["stopBits"] = r.line.stopBits - '0';
    j["candidate"] = r.candidate;
    return j;
}

AutoPortChoice ChooseAutoPort(const std::vector<PortSearchResult>& results) {
    AutoPortChoice choice;
    std::vector<const PortSearchResult*> found;
    for (const PortSearchResult& r : results) {
        if (r.found) found.push_back(&r);
    }
    if (found.size() == 1) {
        choice.chosen = *found.front();
        return choice;
    }
    if (results.empty()) {
        choice.exitCode = 4;
        choice.why.push_back(Tr("tarnik: --port auto: no serial devices found (see tarnik ports)"));
        return choice;
    }
    choice.exitCode = found.empty() ? 4 : 2;
    choice.why.push_back(found.empty()
                             ? std::string(Tr("tarnik: --port auto: no module answered on any serial device:"))
                             : TrFormat("tarnik: --port auto: modules answered on %d ports; name one with --port:",
                                        static_cast<int>(found.size())));
    for (const PortSearchResult& r : results) choice.why.push_back("  " + SearchResultLine(r));
    return choice;
}

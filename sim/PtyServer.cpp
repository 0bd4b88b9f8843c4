#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <signal.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "KvClock.h"
#include "ModuleOptions.h"
#include "Radio.h"

namespace tarnik::sim {

namespace {

struct SpeedEntry {
    speed_t code;
    std::uint32_t baud;
};
const SpeedEntry kSpeeds[] = {
    {B50, 50},     {B75, 75},       {B110, 110},     {B134, 134},     {B150, 150},       {B200, 200},
    {B300, 300},   {B600, 600},     {B1200, 1200},   {B1800, 1800},   {B2400, 2400},     {B4800, 4800},
    {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

std::uint32_t BaudOf(speed_t code) {
    for (const SpeedEntry& e : kSpeeds) {
        if (e.code == code) return e.baud;
    }
    return 0;
}

speed_t CodeOf(std::uint32_t baud) {
    for (const SpeedEntry& e : kSpeeds) {
        if (e.baud == baud) return e.code;
    }
    return B9600;
}

std::string Timestamp() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm local{};
    localtime_r(&tv.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long>(tv.tv_usec / 1000));
    return text;
}

// Bytes in double quotes, CR and LF as \r and \n, other unprintable bytes as \xHH.
std::string Quoted(const std::string& bytes) {
    std::string text = "\"";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r') {
            text += "\\r";
        } else if (b == '\n') {
            text += "\\n";
        } else if (b == '"' || b == '\\') {
            text += '\\';
            text += c;
        } else if (b < 0x20 || b >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            text += hex;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string LineText(const LineSettings& line) {
    return std::to_string(line.baud) + " " + line.dataBits + line.parity + line.stopBits;
}

void Log(const std::string& text) {
    const std::string line = Timestamp() + " " + text + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

const char* ModeName(int mode) {
    switch (mode) {
    case 1: return "transparent master";
    case 2: return "transparent slave";
    default: return "standard";
    }
}

}  // namespace

bool Matches(const VisibleLine& seen, const LineSettings& line) {
    return seen.baud == line.baud && seen.twoStopBits == (line.stopBits == '2') &&
           seen.oddParity == (line.parity == 'O');
}

LineSettings SentAt(const VisibleLine& seen, const LineSettings& moduleLine) {
    if (Matches(seen, moduleLine)) return moduleLine;
    return LineSettings{seen.baud, '8', seen.oddParity ? 'O' : 'N', seen.twoStopBits ? '2' : '1'};
}

PtyServer::PtyServer(ModuleConfig config, bool paceAtBaud, std::string label)
    : module_(std::move(config)), label_(std::move(label)) {
    module_.AttachClock(&SteadyClock());
    module_.SetPacedAtBaud(paceAtBaud);
    poweredAt_ = SteadyClock().Now();
}

PtyServer::~PtyServer() {
    if (!link_.empty()) {
        char target[PATH_MAX];
        const ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_) unlink(link_.c_str());
    }
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

bool PtyServer::Open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        error = "cannot open " + slavePath_ + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) {
        error = std::string("tcgetattr: ") + std::strerror(errno);
        return false;
    }
    cfmakeraw(&tio);
    const LineSettings line = module_.CurrentLine();
    cfsetispeed(&tio, CodeOf(line.baud));
    cfsetospeed(&tio, CodeOf(line.baud));
    if (line.stopBits == '2') tio.c_cflag |= CSTOPB;
    if (line.parity != 'N') tio.c_cflag |= PARENB;
    if (line.parity == 'O') tio.c_cflag |= PARODD;
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(slave_, TCSANOW, &tio) != 0) {
        error = std::string("tcsetattr: ") + std::strerror(errno);
        return false;
    }
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = std::string("fcntl: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool PtyServer::MakeLink(const std::string& path, std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a symbolic link";
            return false;
        }
        unlink(path.c_str());
    }
    if (symlink(slavePath_.c_str(), path.c_str()) != 0) {
        error = "cannot link " + path + ": " + std::strerror(errno);
        return false;
    }
    link_ = path;
    return true;
}

VisibleLine PtyServer::Seen() const {
    termios tio{};
    VisibleLine seen;
    if (tcgetattr(master_, &tio) != 0) return seen;
    seen.baud = BaudOf(cfgetospeed(&tio));
    seen.oddParity = (tio.c_cflag & PARODD) != 0;
    seen.twoStopBits = (tio.c_cflag & CSTOPB) != 0;
    return seen;
}

void PtyServer::TakeInput() {
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) return;
        const VisibleLine seen = Seen();
        const Micros now = SteadyClock().Now();
        const bool wasTransparent = module_.Transparent();
        for (ssize_t i = 0; i < n; ++i) {
            module_.Receive(buffer[i], SentAt(seen, module_.LineAt(now)), now);
            // The module loses its power at once: the simulator ends as by kill -9.
            if (module_.KillRequested()) raise(SIGKILL);
        }
        if (module_.IgnoredBytes() != ignoredReported_) {
            const LineSettings line = module_.CurrentLine();
            Report(std::to_string(module_.IgnoredBytes() - ignoredReported_) +
                   " byte(s) not understood: the other end is at " + std::to_string(seen.baud) + " baud, " +
                   (seen.twoStopBits ? "2" : "1") + " stop bit(s), " +
                   (seen.oddParity ? "odd parity" : "no or even parity") + "; the module listens at " + LineText(line) +
                   (module_.Restarting(now) ? " (restarting)" : ""));
            ignoredReported_ = module_.IgnoredBytes();
        }
        if (wasTransparent && !module_.Transparent()) {
            Report("escape string taken: standard mode at " + LineText(module_.CurrentLine()));
        } else if (wasTransparent && !transparentDataReported_) {
            // Once a power-up: a stream of data would fill the log.
            const bool open = now - poweredAt_ < Micros{module_.Config().escapeWindow};
            Report(std::to_string(n) + " byte(s) taken as transparent data (escape window " +
                   (open ? "open" : "closed") + "); more follows unreported");
            transparentDataReported_ = true;
        }
        ReportNewExchanges();
    }
}

void PtyServer::ReportNewExchanges() {
    const auto& log = module_.Log();
    for (; reported_ < log.size(); ++reported_) {
        const Exchange& e = log[reported_];
        Report("heard " + Quoted(e.request) + " -> " + (e.answer.empty() ? "no answer" : Quoted(e.answer)));
    }
}

void PtyServer::SendDue() {
    const Micros now = SteadyClock().Now();
    const VisibleLine seen = Seen();
    std::string out;
    while (!module_.PendingOutput().empty() && module_.PendingOutput().front().due <= now) {
        const OutputByte b = module_.TakeOutput();
        // The other end reads what was sent at the settings it has now.
        if (Matches(seen, b.line)) out.push_back(static_cast<char>(b.byte));
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = write(master_, out.data() + done, out.size() - done);
        if (n <= 0) break;  // nobody reads and the buffer is full: the rest is lost, as on a line
        done += static_cast<std::size_t>(n);
    }
}

std::optional<Micros> PtyServer::NextDue() const {
    if (module_.PendingOutput().empty()) return std::nullopt;
    return module_.PendingOutput().front().due;
}

void PtyServer::Report(const std::string& text) const { Log(label_.empty() ? text : label_ + ": " + text); }

void PtyServer::PowerCycle(const char* why) {
    poweredAt_ = SteadyClock().Now();
    transparentDataReported_ = false;
    module_.PowerCycle(poweredAt_);
    const Bank& running = module_.Running();
    std::string text = std::string("power cycle (") + why + "): " + ModeName(running.mode) + " mode at " +
                       LineText(module_.CurrentLine());
    if (module_.Transparent()) {
        text += ", escape window " + std::to_string(module_.Config().escapeWindow.count()) + " ms";
    }
    Report(text);
}

void PtyServer::Swap(const std::string& options) {
    ModuleConfig config;
    std::vector<Fault> faults;
    const std::string problem = ParseSwap(options, module_.Config(), config, faults);
    if (!problem.empty()) {
        Report("swap refused: " + problem + "; the module stays");
        return;
    }
    poweredAt_ = SteadyClock().Now();
    SwapModule(module_, config, faults, &SteadyClock());
    reported_ = 0;
    ignoredReported_ = 0;
    char serial[16];
    std::snprintf(serial, sizeof serial, "%09lu", static_cast<unsigned long>(config.serialNumber));
    Report(std::string("swap: module ") + serial + ", version " + config.version + ", " +
           (module_.Transparent() ? "transparent" : "standard") + " mode, line " + LineText(module_.CurrentLine()) +
           (faults.empty() ? "" : ", " + std::to_string(faults.size()) + " fault(s) armed"));
}

void PtyServer::Status() {
    const Bank& r = module_.Running();
    const Bank& s = module_.Stored();
    Report(std::string("status: ") + (module_.Transparent() ? "transparent" : "standard") + " mode, line " +
           LineText(module_.CurrentLine()) + ", serial " + std::to_string(module_.SerialNumber()) + ", mode " +
           std::to_string(r.mode) + "/" + std::to_string(s.mode) + ", address " + std::to_string(r.address) + "/" +
           std::to_string(s.address) + ", partner " + std::to_string(r.partnerAddress) + "/" +
           std::to_string(s.partnerAddress) + ", frequency " + std::to_string(r.frequency) + "/" +
           std::to_string(s.frequency) + ", pins " + std::string(r.pins, 4) + "/" + std::string(s.pins, 4) +
           ", stored line " + LineText(s.line));
}

int PtyServer::Run(int signalFd, bool exitOnEof) { return Serve({this}, nullptr, signalFd, exitOnEof); }

namespace {

// Lines on standard input: "power", "status", "swap [OPTIONS]", each after a
// module's number for that module alone. False when
// standard input ended and that ends the simulator.
bool HandleStdin(const std::vector<PtyServer*>& servers, std::string& pending, bool exitOnEof, bool& stdinOpen) {
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n <= 0) {
        stdinOpen = false;
        if (exitOnEof) {
            Log("end of standard input: stopping");
            return false;
        }
        return true;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
        std::string command = pending.substr(0, end);
        pending.erase(0, end + 1);
        while (!command.empty() && (command.back() == '\r' || command.back() == ' ')) command.pop_back();
        // "K COMMAND": module K alone.
        std::vector<PtyServer*> chosen = servers;
        std::size_t digits = 0;
        while (digits < command.size() && std::isdigit(static_cast<unsigned char>(command[digits]))) ++digits;
        if (digits > 0 && (digits == command.size() || command[digits] == ' ')) {
            const unsigned long k = std::strtoul(command.substr(0, digits).c_str(), nullptr, 10);
            if (k < 1 || k > servers.size()) {
                Log("no module " + command.substr(0, digits) + " (modules 1 to " + std::to_string(servers.size()) +
                    ")");
                continue;
            }
            chosen = {servers[k - 1]};
            command.erase(0, std::min(command.size(), digits + 1));
        }
        if (command == "power") {
            for (PtyServer* server : chosen) server->PowerCycle("standard input");
        } else if (command == "status") {
            for (PtyServer* server : chosen) server->Status();
        } else if (command == "swap" || command.rfind("swap ", 0) == 0) {
            chosen.front()->Swap(command.substr(4));
        } else if (!command.empty()) {
            Log("unknown command " + Quoted(command) +
                " (commands: power, status, swap, each after a module's number)");
        }
    }
    return true;
}

// The frames the radio lost or spoilt since the last call, one line each.
void ReportFrames(const Radio& radio, std::size_t& reported) {
    const auto& log = radio.Log();
    for (; reported < log.size(); ++reported) {
        const AirFrame& f = log[reported];
        if (f.fate == AirFrame::Fate::Delivered) continue;
        std::string text = "radio: frame " + std::to_string(f.index) + " from module " + std::to_string(f.from + 1) +
                           ", " + std::to_string(f.bytes) + " byte(s), " + FateName(f.fate);
        if (f.fate == AirFrame::Fate::Corrupted) text += " (" + std::to_string(f.flippedBits) + " bit(s) flipped)";
        Log(text);
    }
}

}  // namespace

int Serve(const std::vector<PtyServer*>& servers, Radio* radio, int signalFd, bool exitOnEof) {
    bool stdinOpen = true;
    std::string pending;
    std::size_t framesReported = 0;
    std::vector<pollfd> fds;
    for (;;) {
        const Micros now = SteadyClock().Now();
        if (radio) {
            radio->Advance(now);
            ReportFrames(*radio, framesReported);
        }
        Micros next = Micros::max();
        if (radio) next = radio->NextDeadline().value_or(next);
        for (const PtyServer* server : servers) next = std::min(next, server->NextDue().value_or(next));
        int timeout = -1;
        if (next != Micros::max()) {
            const Micros wait = next - now;
            timeout = wait.count() <= 0 ? 0 : static_cast<int>((wait.count() + 999) / 1000);
        }
        fds.clear();
        for (const PtyServer* server : servers) fds.push_back({server->MasterFd(), POLLIN, 0});
        fds.push_back({signalFd, POLLIN, 0});
        if (stdinOpen) fds.push_back({STDIN_FILENO, POLLIN, 0});
        const int ready = poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            Log(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if (ready > 0) {
            const pollfd& signals = fds[servers.size()];
            if (signals.revents & POLLIN) {
                unsigned char numbers[16];
                const ssize_t n = read(signalFd, numbers, sizeof numbers);
                for (ssize_t i = 0; i < n; ++i) {
                    if (numbers[i] == SIGUSR1) {
                        for (PtyServer* server : servers) server->PowerCycle("SIGUSR1");
                    } else {
                        Log(std::string("stopping on ") + (numbers[i] == SIGINT ? "SIGINT" : "SIGTERM"));
                        return 0;
                    }
                }
            }
            for (std::size_t k = 0; k < servers.size(); ++k) {
                if (fds[k].revents & POLLIN) servers[k]->TakeInput();
            }
            if (stdinOpen) {
                const pollfd& input = fds[servers.size() + 1];
                if (input.revents & POLLNVAL) {
                    stdinOpen = false;  // no standard input at all
                } else if ((input.revents & (POLLIN | POLLHUP | POLLERR)) &&
                           !HandleStdin(servers, pending, exitOnEof, stdinOpen)) {
                    return 0;
                }
            }
        }
        for (PtyServer* server : servers) server->SendDue();
    }
}

}  // namespace tarnik::sim

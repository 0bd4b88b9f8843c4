#include "Monitor.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "Commands.h"
#include "Failure.h"
#include "Interrupt.h"
#include "Keys.h"
#include "KvClock.h"
#include "KvSerialPort.h"
#include "Language.h"
#include "LinkTest.h"
#include "Output.h"
#include "Utf8Text.h"

void MonitorCommand::Register(CLI::App& app) {
    command_ = app.add_subcommand(
        "monitor", Tr("a plain terminal to a module in transparent mode (--line gives the line settings): "
                      "typed bytes go out, received bytes are shown escaped; Ctrl-] ends it"));
    command_->add_flag("--hex", hex_, Tr("show received bytes as hex, 16 a line"));
    command_->add_flag("--timestamps", timestamps_, Tr("put the time of arrival before each line shown"));
}

namespace {

constexpr unsigned char kEnd = 0x1D;  // Ctrl-]
// After the end of piped input, the time without a byte that ends the monitor.
constexpr std::chrono::milliseconds kQuietAtEnd{500};

// "[13:04:05.123] ", local time.
std::string Clock() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "[%H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d] ", static_cast<int>(millis));
    return text;
}

// Shows the bytes that came in, line by line.
class Screen {
public:
    Screen(bool hex, bool timestamps) : hex_(hex), timestamps_(timestamps) {}

    void Show(const std::string& bytes) {
        for (const char c : bytes) {
            if (atLineStart_ && timestamps_) std::fputs(Clock().c_str(), stdout);
            atLineStart_ = false;
            if (hex_) {
                std::printf("%02X%s", static_cast<unsigned char>(c), ++inLine_ == 16 ? "\n" : " ");
                if (inLine_ == 16) {
                    inLine_ = 0;
                    atLineStart_ = true;
                }
                continue;
            }
            pending_ += c;
            if (c == '\n') {
                std::fputs((DisplayText(pending_) + "\n").c_str(), stdout);
                pending_.clear();
                atLineStart_ = true;
            }
        }
        // What is not a whole line yet is shown now; a character cut in two
        // waits for its other bytes.
        if (!hex_ && !pending_.empty() && IsValidUtf8(pending_)) {
            std::fputs(DisplayText(pending_).c_str(), stdout);
            pending_.clear();
        }
        std::fflush(stdout);
    }

    // Ends a line the screen left open, so that a message after it starts on its own.
    void EndLine() {
        if (!atLineStart_) std::fputc('\n', stdout);
        std::fflush(stdout);
        atLineStart_ = true;
    }

private:
    bool hex_, timestamps_;
    bool atLineStart_ = true;
    int inLine_ = 0;
    std::string pending_;
};

}  // namespace

int MonitorCommand::Run(const std::string& port, const SerialSettings& line) const {
    KvSerialPort serial;
    const Said problem = OpenRawPort(serial, port, line);
    if (!problem.empty()) {
        PrintLine(stderr, "tarnik: monitor: " + problem.shown);
        return kExitPort;
    }
    Keys keys;
    PrintLine(stderr,
              TrFormat("tarnik: monitor on %s at %s; Ctrl-] ends it", port.c_str(), FormatSerialSettings(line).CStr()));
    Screen screen(hex_, timestamps_);
    KvClock& clock = SteadyClock();
    int exit = kExitOk;
    bool inputOpen = true;
    KvClock::Duration lastHeard = clock.Now();
    for (;;) {
        std::string in;
        std::uint8_t byte = 0;
        while (in.size() < 4096 && serial.ReadByte(byte)) in.push_back(static_cast<char>(byte));
        if (!in.empty()) {
            screen.Show(in);
            lastHeard = clock.Now();
        }
        if (serial.IoFailure().cause == KvPortFailure::Cause::Gone) {
            keys.Restore();
            screen.EndLine();
            PrintLine(stderr, "tarnik: monitor: " + FailureSummary(serial.IoFailure()));
            exit = kExitLink;
            break;
        }
        if (!inputOpen) {
            // Input from a pipe has ended: what comes back is shown until the line is quiet.
            if (clock.Now() - lastHeard >= kQuietAtEnd) break;
            clock.SleepFor(std::chrono::milliseconds(10));
            continue;
        }
        char typed[256];
        const int n = keys.Read(typed, sizeof typed, in.empty() ? 10 : 0);
        if (n < 0) {
            inputOpen = false;
            lastHeard = clock.Now();
            continue;
        }
        bool end = false;
        for (int k = 0; k < n && !end; ++k) {
            if (static_cast<unsigned char>(typed[k]) == kEnd) {
                end = true;
            } else if (!serial.WriteByte(static_cast<std::uint8_t>(typed[k]))) {
                keys.Restore();
                screen.EndLine();
                PrintLine(stderr, TrFormat("tarnik: monitor: cannot write to %s", port.c_str()));
                return kExitLink;
            }
        }
        if (end) break;
    }
    keys.Restore();
    screen.EndLine();
    serial.Close();
    if (exit == kExitOk) PrintLine(stderr, Tr("tarnik: monitor ended"));
    return exit;
}

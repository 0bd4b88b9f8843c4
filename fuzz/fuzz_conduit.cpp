// KvSerialConduit's line reading fed arbitrary byte streams with time-outs in
// them, in per-call and in hold mode. The stream comes from the front of the
// input: byte 0xFF is "nothing arrives within the time-out here", 0xFE quotes
// the byte after it. The operations come from the end of the input.
//
// Checked after every operation: the text returned is what arrived up to the
// end of the line (CR LF, 254 bytes or a time-out) cut at a NUL; only the
// conduit's own exceptions come out; each byte waited at most the time-out the
// port was given; the port is open exactly when the mode says so; a write
// sends the text's bytes in order up to the first failure.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "FuzzFail.h"
#include "KvClock.h"
#include "KvExceptions.h"
#include "KvSerialConduit.h"
#include "KvVirtualPort.h"

namespace {

constexpr char kPortName[] = "FUZZ-CONDUIT";
constexpr int kTimeout = -1;

class FuzzPort : public KvVirtualPort {
public:
    explicit FuzzPort(KvClock& clock) : clock_(clock) {}

    bool Open() override {
        if (failOpen || open) return false;  // exclusive, like a serial port
        open = true;
        ++opens;
        return true;
    }
    bool SetLine(const KvLineParams& l) override {
        if (!open) Fail("line set on a closed port");
        if (failSetLine) return false;
        line = l;
        return true;
    }
    bool SetTimeouts(const KvPortTimeouts& t) override {
        if (!open) Fail("time-outs set on a closed port");
        timeouts = t;
        ++timeoutsSet;
        return true;
    }
    bool WriteByte(std::uint8_t byte) override {
        if (!open) Fail("write on a closed port");
        if (writeBudget == 0) return false;
        if (writeBudget > 0) --writeBudget;
        written += static_cast<char>(byte);
        return true;
    }
    bool ReadByte(std::uint8_t& byte) override {
        if (!open) Fail("read on a closed port");
        if (stream.empty() || stream.front() == kTimeout) {
            if (!stream.empty()) stream.pop_front();
            clock_.SleepFor(std::chrono::milliseconds(timeouts.readConstant));
            ++failedReads;
            return false;
        }
        byte = static_cast<std::uint8_t>(stream.front());
        stream.pop_front();
        delivered += static_cast<char>(byte);
        return true;
    }
    bool Close() override {
        if (!open) Fail("close of a closed port");
        open = false;
        return true;
    }

    std::deque<int> stream;
    bool failOpen = false;
    bool failSetLine = false;
    int writeBudget = -1;

    bool open = false;
    int opens = 0;
    int timeoutsSet = 0;
    KvLineParams line;
    KvPortTimeouts timeouts;
    std::string written;
    std::string delivered;
    int failedReads = 0;

private:
    KvClock& clock_;
};

enum Op { kTransact, kRead, kWrite, kOpen, kClose, kHoldOn, kHoldOff, kLine, kTimeoutMs, kFailures, kOpCount };

const char* const kRequests[] = {"-MAN\r\n", "+MOD:0\r\n", "-SCI\r\n", "", "\x02\x03Tovenk\x03\x02", "@PFC:0120\r\n"};

// Checks a line returned by Read or Transact against the bytes that arrived for it.
void CheckLine(const KvString& text, const std::string& delivered, int failedReads) {
    if (delivered.empty()) Fail("a line returned although nothing arrived");
    if (delivered.size() > 254) Fail("more than 254 bytes taken for one line");
    const std::string expected = delivered.substr(0, delivered.find('\0'));
    if (text.Bytes() != expected) Fail("returned text differs from the bytes that arrived");
    const std::size_t crlf = delivered.find("\r\n");
    const bool endsAtCrLf = crlf != std::string::npos && crlf + 2 == delivered.size();
    if (crlf != std::string::npos && !endsAtCrLf) Fail("read on past the end of the line");
    const bool full = delivered.size() == 254;
    if (failedReads > 1) Fail("read on after a time-out");
    if (failedReads == 1 && (endsAtCrLf || full)) Fail("waited for a byte after the line was complete");
    if (failedReads == 0 && !endsAtCrLf && !full) Fail("stopped reading in the middle of a line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);

    KvVirtualClock clock;
    auto port = std::make_shared<FuzzPort>(clock);
    KvVirtualPorts::Registration registration(kPortName, port);

    KvSerialConduit conduit;
    conduit.portName = kPortName;
    conduit.SetLineSettings(9600, '8', 'N', '1');
    conduit.SelectTimeout();

    // Up to 24 operations from the end; what is left at the front is the stream.
    const int opCount = input.ConsumeIntegralInRange<int>(1, 24);
    struct Step {
        int op;
        int arg;
    };
    Step steps[24];
    for (int i = 0; i < opCount; ++i) {
        steps[i].op = input.ConsumeIntegralInRange<int>(0, kOpCount - 1);
        steps[i].arg = input.ConsumeIntegral<std::uint16_t>();
    }
    const std::string raw = input.ConsumeRemainingBytesAsString();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(raw[i]);
        if (b == 0xFF) {
            port->stream.push_back(kTimeout);
        } else if (b == 0xFE && i + 1 < raw.size()) {
            port->stream.push_back(static_cast<std::uint8_t>(raw[++i]));
        } else {
            port->stream.push_back(b);
        }
    }

    for (int i = 0; i < opCount; ++i) {
        const Step step = steps[i];
        const bool wasOpen = conduit.IsOpen();
        const std::uint32_t timeoutAtStart = conduit.TimeoutMs();
        port->delivered.clear();
        port->written.clear();
        port->failedReads = 0;
        const auto startTime = clock.Now();
        const int opensBefore = port->opens;
        const int timeoutsSetBefore = port->timeoutsSet;

        bool threw = false;
        bool readFailed = false;
        KvString text;
        std::string request;
        try {
            switch (step.op) {
            case kTransact:
                request = kRequests[step.arg % 6];
                text = conduit.Transact(request.c_str());
                break;
            case kRead: text = conduit.Read(); break;
            case kWrite:
                request = kRequests[step.arg % 6];
                conduit.Write(request.c_str());
                break;
            case kOpen: conduit.Open(); break;
            case kClose: conduit.Close(); break;
            case kHoldOn: conduit.keepOpen = true; break;
            case kHoldOff: conduit.keepOpen = false; break;
            case kLine: {
                static const std::uint32_t bauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 300};
                const char data[] = {'7', '8', 'x'};
                const char parity[] = {'N', 'E', 'O', 'M'};
                const char stop[] = {'1', '2', '0'};
                conduit.SetLineSettings(bauds[step.arg % 9], data[(step.arg >> 4) % 3], parity[(step.arg >> 6) % 4],
                                        stop[(step.arg >> 8) % 3]);
                conduit.SelectTimeout();
                if (conduit.TimeoutMs() != KvSerialConduit::TimeoutForBaudRate(bauds[step.arg % 9])) {
                    Fail("time-out not chosen from the baud rate");
                }
                break;
            }
            case kTimeoutMs: conduit.SetTimeout(step.arg % 500); break;
            default:
                port->failOpen = (step.arg & 7) == 0;
                port->failSetLine = (step.arg & 7) == 1;
                port->writeBudget = (step.arg & 7) == 2 ? (step.arg >> 3) % 8 : -1;
                break;
            }
        } catch (const KvConduitReadException&) {
            threw = true;
            readFailed = true;
        } catch (const KvConduitException&) {
            threw = true;
        }

        const bool isLineOp = step.op == kTransact || step.op == kRead;
        const bool opensPort = isLineOp || step.op == kWrite || step.op == kOpen;

        // Settings and time-outs reach the port at opening only.
        if (port->timeoutsSet != timeoutsSetBefore) {
            if (port->opens == opensBefore) Fail("time-outs set on a port that was not opened anew");
            if (port->timeouts.readConstant != timeoutAtStart || port->timeouts.writeConstant != timeoutAtStart ||
                port->timeouts.readInterval != 0 || port->timeouts.readMultiplier != 0 ||
                port->timeouts.writeMultiplier != 0) {
                Fail("wrong time-outs given to the port");
            }
            if (port->line.byteSize != conduit.ByteSize() || port->line.parity != conduit.Parity() ||
                port->line.stopBits != conduit.StopBits() || port->line.baudRate != conduit.BaudRate() ||
                port->line.parityCheck != conduit.ParityCheck()) {
                Fail("line settings differ from the conduit's");
            }
        }
        if (!opensPort && port->opens != opensBefore) Fail("port opened by an operation that does not open");
        if (step.op == kOpen && !conduit.keepOpen && port->opens != opensBefore) Fail("Open() opened in per-call mode");
        if (step.op == kOpen && conduit.keepOpen && wasOpen && port->opens != opensBefore) Fail("opened twice");

        // Every byte waits at most the time-out; only failed reads take time.
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now() - startTime).count();
        if (spent != static_cast<long long>(port->failedReads) * port->timeouts.readConstant) {
            Fail("time spent other than the time-outs of failed reads");
        }

        if (isLineOp && !threw) CheckLine(text, port->delivered, port->failedReads);
        if (readFailed && isLineOp && !port->delivered.empty()) Fail("read failure after bytes had arrived");
        if (readFailed && !isLineOp) Fail("read failure from an operation that does not read");
        if (step.op == kTransact || step.op == kWrite) {
            // Whatever was written is the request's bytes in order, all of
            // them when the write went through.
            if (request.compare(0, port->written.size(), port->written) != 0) Fail("bytes written out of order");
            if ((!threw || readFailed) && port->written != request) Fail("write returned before all bytes were out");
        }

        // The port is held exactly as the mode says.
        if (conduit.IsOpen() != port->open) Fail("conduit and port disagree about the port");
        if (!conduit.keepOpen && (isLineOp || step.op == kWrite) && conduit.IsOpen()) {
            Fail("per-call operation left the port open");
        }
        if (conduit.keepOpen && step.op == kRead && threw && conduit.IsOpen()) Fail("failed Read kept the port");
        if (conduit.keepOpen && (step.op == kTransact || step.op == kWrite) && wasOpen && !conduit.IsOpen()) {
            Fail("hold mode lost the port");
        }
        if (conduit.keepOpen && step.op == kClose && conduit.IsOpen()) Fail("Close() kept the port");
    }

    if (conduit.IsOpen()) {
        conduit.keepOpen = true;
        conduit.Close();
    }
    if (port->open) Fail("port still open at the end");
    return 0;
}

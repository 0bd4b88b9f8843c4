// The simulated module's request parser fed arbitrary bytes through its
// virtual port, always at the line settings the module listens at (the port
// follows an SCI or INI the module took). Control bytes in the input: 0xFF then
// a second byte: 0 read everything the module sent, 1 power-cycle, 2 let time
// pass, anything else a literal 0xFF. An optional fault comes from the end.
//
// Checked: every setting stays within what the module takes; without a fault
// every answer is one line, "*" first, CR LF last, at most 254 bytes, and
// every answer due is delivered.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzFail.h"
#include "KvClock.h"
#include "TarnikModule.h"
#include "VirtualModulePort.h"

namespace {

using namespace tarnik::sim;

KvLineParams ParamsOf(const LineSettings& line) {
    KvLineParams params;
    params.baudRate = line.baud;
    params.byteSize = static_cast<std::uint8_t>(line.dataBits - '0');
    params.parity = line.parity == 'O' ? 1 : line.parity == 'E' ? 2 : 0;
    params.parityCheck = line.parity == 'N' ? 0 : 1;
    params.stopBits = line.stopBits == '2' ? 2 : 0;
    return params;
}

bool ValidLine(const LineSettings& line) {
    switch (line.baud) {
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600: break;
    default: return false;
    }
    return (line.dataBits == '7' || line.dataBits == '8') &&
           (line.parity == 'N' || line.parity == 'E' || line.parity == 'O') &&
           (line.stopBits == '1' || line.stopBits == '2');
}

void CheckBank(const Bank& bank) {
    if (bank.mode < 0 || bank.mode > 2) Fail("mode out of range");
    for (int value : {bank.address, bank.partnerAddress, bank.pan}) {
        if (value < 0 || value > 65535) Fail("16-bit setting out of range");
    }
    if (bank.frequency < 0 || bank.frequency > 75) Fail("frequency out of range");
    if (bank.retryCount < 0 || bank.retryCount > 255) Fail("retry count out of range");
    if (bank.led < 0 || bank.led > 1) Fail("LED out of range");
    for (int pin = 0; pin < 4; ++pin) {
        if (bank.pins[pin] < '0' || bank.pins[pin] > (pin < 2 ? '2' : '1')) Fail("pin function out of range");
    }
    if (!ValidLine(bank.line)) Fail("line settings out of range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);

    static const std::uint32_t kBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
    ModuleConfig config;
    config.line.baud = kBauds[input.ConsumeIntegralInRange<int>(0, 6)];
    config.line.dataBits = input.ConsumeBool() ? '7' : '8';
    config.line.parity = "NEO"[input.ConsumeIntegralInRange<int>(0, 2)];
    config.line.stopBits = input.ConsumeBool() ? '2' : '1';
    config.fixedPins = input.ConsumeBool();
    config.neighbours = input.ConsumeBool();
    config.storedMode = input.ConsumeIntegralInRange<int>(0, 2);
    config.restartTime = std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 1500));
    const bool paced = input.ConsumeBool();

    const bool withFault = input.ConsumeIntegralInRange<int>(0, 3) == 0;
    Fault fault;
    if (withFault) {
        fault.kind = static_cast<FaultKind>(input.ConsumeIntegralInRange<int>(0, 8));
        fault.count = input.ConsumeIntegralInRange<int>(-1, 3);
        static const char* const kMnemonics[] = {"", "MAN", "MOD", "SCI", "PFC", "INI", "VER", "XYZ"};
        fault.mnemonic = kMnemonics[input.ConsumeIntegralInRange<int>(0, 7)];
        fault.cutAfter = input.ConsumeIntegral<int>();
        fault.nakCode = input.ConsumeIntegral<int>();
        fault.nulAt = input.ConsumeIntegral<int>();
        fault.delay = std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 5000));
    }

    KvVirtualClock clock;
    auto module = std::make_shared<Module>(config);
    if (withFault) module->InjectFault(fault);
    VirtualModulePort port(module, clock, paced);
    if (!port.Open()) Fail("port does not open");
    if (!port.SetLine(ParamsOf(module->CurrentLine()))) Fail("module's own settings refused");
    port.SetTimeouts(KvPortTimeouts{0, 0, 240, 0, 240});

    std::string received;
    // Reads until the module has nothing more on its way, following it to the
    // settings it listens at.
    const auto drain = [&] {
        for (int guard = 0; guard < 4096; ++guard) {
            std::uint8_t byte = 0;
            if (!port.ReadByte(byte)) break;
            received += static_cast<char>(byte);
        }
        if (!withFault && !module->PortVanished()) {
            // Answers go out at the module's line; whatever is still queued is due later than a time-out.
            for (const OutputByte& out : module->PendingOutput()) {
                if (out.due <= clock.Now()) Fail("an answer byte due was not delivered");
            }
        }
        port.SetLine(ParamsOf(module->CurrentLine()));
    };

    const std::string bytes = input.ConsumeRemainingBytesAsString();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (b == 0xFF && i + 1 < bytes.size()) {
            const auto control = static_cast<std::uint8_t>(bytes[++i]);
            if (control == 0) {
                drain();
                continue;
            }
            if (control == 1) {
                module->PowerCycle();
                continue;
            }
            if (control == 2) {
                clock.SleepFor(std::chrono::milliseconds(700));
                continue;
            }
        }
        port.WriteByte(b);
        if (b == '\n') drain();
    }
    drain();

    CheckBank(module->Running());
    CheckBank(module->Stored());
    if (!withFault) {
        for (const Exchange& exchange : module->Log()) {
            const std::string& answer = exchange.answer;
            if (answer.empty()) continue;
            if (answer.size() > 254) Fail("answer longer than a line the program reads");
            if (answer[0] != '*') Fail("answer does not begin with '*'");
            if (answer.size() < 4 || answer.compare(answer.size() - 2, 2, "\r\n") != 0) Fail("answer without CR LF");
            if (answer.find("\r\n") != answer.size() - 2) Fail("more than one line in an answer");
            if (answer.find('\0') != std::string::npos) Fail("NUL in an answer");
        }
    }
    port.Close();
    return 0;
}

// KvDevice's answer parsing fed arbitrary answer lines through a scripted
// virtual port on the virtual clock. Only the program's own exception families
// may come out; a rejection must raise the class of its code and carry the
// line; no operation may leave a port open behind it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>
#include <typeindex>
#include <typeinfo>

#include "FuzzFail.h"
#include "KvClock.h"
#include "KvDevice.h"
#include "KvExceptions.h"
#include "KvSerialConduit.h"
#include "KvVirtualPort.h"
#include "ScriptedPort.h"

namespace {

constexpr char kPortName[] = "FUZZ-DEVICE";

enum Operation {
    kReadAll,
    kReadSerialNumber,
    kReadSerialSettings,
    kReadPinFunctions,
    kReadVersion,
    kReadMode,
    kReadLed,
    kSetPinFunctionBoth,
    kSetAddress,
    kInitialize,
    kOperationCount
};

void Run(KvDevice& device, int operation, int pin) {
    switch (operation) {
    case kReadAll: device.ReadAll(); break;
    case kReadSerialNumber: device.ReadSerialNumber(); break;
    case kReadSerialSettings: device.ReadSerialSettings(); break;
    case kReadPinFunctions: device.ReadPinFunctions(); break;
    case kReadVersion: device.ReadVersion(); break;
    case kReadMode: device.ReadMode(); break;
    case kReadLed: device.ReadLed(); break;
    case kSetPinFunctionBoth: device.SetPinFunction(pin, '1', 2); break;
    case kSetAddress: device.SetAddress(9999, 2); break;
    default: device.Initialize(); break;
    }
}

// The line the conduit makes of the first answer when it is complete on its
// own: up to and including its first CR LF within 254 bytes, cut at a NUL.
// Empty when the first answer is not such a line. The scripted port answers
// a leading "*~" as "*" and the request's own mnemonic (never NAK), three
// letters: "XXX" stands for it here.
std::string FirstLine(const std::string& scripted) {
    const std::string answer = scripted.rfind("*~", 0) == 0 ? "*XXX" + scripted.substr(2) : scripted;
    const std::size_t end = answer.find("\r\n");
    if (end == std::string::npos || end + 2 > 254) return std::string();
    const std::string line = answer.substr(0, end + 2);
    return line.substr(0, line.find('\0'));
}

std::type_index RejectionFor(std::int32_t code) {
    switch (code) {
    case 1: return typeid(KvNAKCommandException);
    case 2: return typeid(KvNAKRouteException);
    case 3: return typeid(KvNAKParameterException);
    case 4: return typeid(KvNAKInforomException);
    case 5: return typeid(KvNAKByteTimeoutException);
    case 10: return typeid(KvNAKRetryFailedException);
    case 11: return typeid(KvNAKResponseTimeoutException);
    case 12: return typeid(KvNAKTargetBusyException);
    case 13: return typeid(KvNAKDuplicatePacketException);
    default: return typeid(KvNAKException);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int operation = input.ConsumeIntegralInRange<int>(0, kOperationCount - 1);
    const bool hold = input.ConsumeBool();
    const int pin = input.ConsumeIntegralInRange<int>(0, 3);

    KvVirtualClock clock;
    auto port = std::make_shared<ScriptedPort>(clock);
    KvVirtualPorts::Registration registration(kPortName, port);
    // Stray bytes already waiting when the first request goes out.
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0) port->pendingInput = input.ConsumeRandomLengthString(64);
    const bool cleanStart = port->pendingInput.empty();
    for (int i = 0; i < 12 && input.remaining_bytes() > 0; ++i) {
        port->answers.push_back(input.ConsumeRandomLengthString(400));
    }
    const std::string firstAnswer = port->answers.empty() ? std::string() : port->answers.front();

    KvDevice device;
    auto* conduit = new KvSerialConduit();
    conduit->portName = kPortName;
    conduit->SetLineSettings(9600, '8', 'N', '1');
    conduit->SelectTimeout();
    device.conduit = conduit;

    bool rejected = false;
    bool formatFailure = false;
    bool failed = false;  // any of the program's failures: the answer was not taken
    try {
        if (hold) {
            conduit->keepOpen = true;
            conduit->Open();
        }
        Run(device, operation, pin);
    } catch (const KvNAKException& e) {
        rejected = true;
        failed = true;
        // The rejection is the first answer line when that line was the one read.
        const std::string line = cleanStart ? FirstLine(firstAnswer) : std::string();
        if (!line.empty() && line.size() >= 4 && line.compare(1, 3, "NAK") == 0) {
            if (!(e.message == line.c_str())) Fail("rejection does not carry its answer line");
            const KvString code = KvString(line.c_str()).Substring(5, 2);
            std::int32_t number = 0;
            try {
                number = code.ToLong();
            } catch (const KvStringFormatException&) {
                Fail("rejection raised for a code that is no number");
            }
            if (std::type_index(typeid(e)) != RejectionFor(number)) Fail("rejection of the wrong class");
        }
    } catch (const KvException&) {
        failed = true;
    } catch (const KvStringException&) {
        formatFailure = true;
        failed = true;
    }

    // What the first answer line alone decides about the first transaction.
    const std::string line = cleanStart ? FirstLine(firstAnswer) : std::string();
    if (!line.empty()) {
        // No answer, or one the protocol does not allow: either way a failure.
        if (line.size() < 4 && !failed) Fail("an answer of fewer than 4 bytes was taken");
        if (line.size() >= 4 && line.compare(1, 3, "NAK") == 0 && !rejected && !formatFailure) {
            Fail("a rejection was taken as an answer");
        }
    }

    // The port is released whatever happened; in hold mode by Close().
    if (hold) {
        conduit->Close();
        conduit->keepOpen = false;
    }
    if (port->isOpen || conduit->IsOpen()) Fail("port left open");
    if (port->openCount != port->closeCount) Fail("opens and closes do not pair");
    return 0;
}

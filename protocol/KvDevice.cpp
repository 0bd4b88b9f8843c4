#include "KvDevice.h"

#include "KvExceptions.h"

#include <limits>
#include <string>

namespace {

// The scope character of a request: "@" stored, "+" both, "-" running (and
// every query, and any scope the device does not know).
char ScopeCharacter(int scope) {
    switch (scope) {
    case 1: return '@';
    case 2: return '+';
    default: return '-';
    }
}

[[noreturn]] void ThrowRejection(std::int32_t code, const KvString& answer) {
    switch (code) {
    case 1: throw KvNAKCommandException(answer);
    case 2: throw KvNAKRouteException(answer);
    case 3: throw KvNAKParameterException(answer);
    case 4: throw KvNAKInforomException(answer);
    case 5: throw KvNAKByteTimeoutException(answer);
    case 10: throw KvNAKRetryFailedException(answer);
    case 11: throw KvNAKResponseTimeoutException(answer);
    case 12: throw KvNAKTargetBusyException(answer);
    case 13: throw KvNAKDuplicatePacketException(answer);
    default: throw KvNAKException(answer);
    }
}

// A written value goes into the bank(s) the device was told to change.
template <typename T>
void CacheByScope(KvDevice& device, T SettingBank::*field, T value, int scope) {
    if (scope == 1) {
        device.stored.*field = value;
    } else if (scope == 2) {
        device.stored.*field = value;
        device.running.*field = value;
    } else {
        device.running.*field = value;
    }
}

// What a command's answer must be before anything is read from it: the
// module's answer to that command ("*SAD: ..."), ending in CR LF. An answer of
// another command, a line cut off, or one ending in LF alone is refused: the
// module is not where the program thinks it is, and nothing it said counts.
const KvString& CheckAnswer(const KvString& answer, const char* mnemonic) {
    const std::int32_t n = answer.Length();
    if (n < 2 || answer.CStr()[n - 2] != '\r' || answer.CStr()[n - 1] != '\n') {
        const bool lfOnly = n >= 1 && answer.CStr()[n - 1] == '\n';
        throw KvAnswerException(answer, lfOnly ? "the answer ends in LF without CR" : "the answer ends without CR LF");
    }
    if (!(answer.Substring(1, 3) == mnemonic)) {
        throw KvAnswerException(answer, Concat("not an answer to ", KvString(mnemonic)));
    }
    return answer;
}

KvString Command(KvDevice& device, const char* mnemonic, const KvString& parameter, int scope) {
    return CheckAnswer(device.SendCommand(mnemonic, parameter, scope), mnemonic);
}

struct Pair {
    std::int32_t running = 0;
    std::int32_t stored = 0;
};

// A query whose answer is ":" running "/" stored, each value within
// `low`..`high`: a value outside is refused, never narrowed into a setting
// nobody gave the module.
Pair QueryPair(KvDevice& device, const char* mnemonic, std::int32_t low, std::int32_t high) {
    const KvString answer = Command(device, mnemonic, KvString(), 0);
    Pair pair;
    answer.ParsePair(pair.running, pair.stored);
    for (const std::int32_t value : {pair.running, pair.stored}) {
        if (value < low || value > high) {
            const std::string range = "a value outside " + std::to_string(low) + "-" + std::to_string(high);
            throw KvAnswerException(answer, range.c_str());
        }
    }
    return pair;
}

// The value-pair settings of a bank, read into both banks.
template <typename T>
void ReadPairInto(KvDevice& device, const char* mnemonic, T SettingBank::*field) {
    const Pair pair = QueryPair(device, mnemonic, 0, static_cast<std::int32_t>(std::numeric_limits<T>::max()));
    device.running.*field = static_cast<T>(pair.running);
    device.stored.*field = static_cast<T>(pair.stored);
}

struct LineHalf {
    std::int32_t baudRate = 0;
    std::int32_t dataBits = 0;
    std::int32_t parity = 0;
    std::int32_t stopBits = 0;
};

// One half of an SCI answer: baud "," data bits "," parity "," stop bits.
// A half without its comma or too short to hold the three characters is not
// read past its end: it counts as malformed, like a baud that is no number.
LineHalf ParseLineHalf(const KvString& half) {
    const std::int32_t comma = half.Find(",");
    if (comma < 0 || half.Length() <= comma + 5) throw KvStringFormatException(half);
    LineHalf result;
    result.baudRate = half.Substring(0, comma).ToLong();
    const char* bytes = half.CStr();
    result.dataBits = static_cast<unsigned char>(bytes[comma + 1]);
    result.parity = static_cast<unsigned char>(bytes[comma + 3]);
    result.stopBits = static_cast<unsigned char>(bytes[comma + 5]);
    return result;
}

void StoreLineHalf(SettingBank& bank, const LineHalf& half) {
    bank.baudRate = half.baudRate;
    bank.dataBits = half.dataBits;
    bank.parity = half.parity;
    bank.stopBits = half.stopBits;
}

bool ValidPin(int index) { return index >= 0 && index < 4; }

// The PFC parameter: the four function characters of one bank, with pin
// `index` replaced by `value`.
KvString PinParameter(const SettingBank& bank, int index, std::int32_t value) {
    KvString parameter;
    for (int pin = 0; pin < 4; ++pin) {
        const std::int32_t function = pin == index ? value : bank.pinFunctions[pin];
        parameter += static_cast<char>(function & 0xFF);
    }
    return parameter;
}

// The running half of a value pair as it was sent: from the first ":" to the
// "/" after it, leading blanks skipped.
KvString RunningText(const KvString& answer) {
    const std::int32_t colon = answer.Find(":");
    if (colon < 0) return KvString();
    const std::int32_t slash = answer.Find("/", colon);
    if (slash < 0) return KvString();
    std::int32_t start = colon + 1;
    while (start < slash && answer.CStr()[start] == ' ') ++start;
    return answer.Substring(start, slash - start);
}

// Four pin functions as the device writes them: '0' digital input, '1'
// digital output, '2' analog input, on any of the four pins.
bool IsPinCode(const KvString& text) {
    if (text.Length() != 4) return false;
    for (std::int32_t pin = 0; pin < 4; ++pin) {
        const char c = text.CStr()[pin];
        if (c < '0' || c > '2') return false;
    }
    return true;
}

void DeleteOwned(KvDevice& device) {
    for (KvDevice* child : device.children) delete child;
    device.children.clear();
    delete device.conduit;
    device.conduit = nullptr;
}

}  // namespace

KvDevice::KvDevice() { ResetMembers(); }

KvDevice::~KvDevice() { DeleteOwned(*this); }

// Back to the state of a new device. Children and conduit are owned: they are
// released here rather than dropped, so a reset device leaks nothing and
// holds no port.
void KvDevice::ResetMembers() {
    DeleteOwned(*this);
    parent = nullptr;
    addressMode = 0;
    serialNumber = 0;
    version = KvString();
    runningPinsWellFormed = false;
    running = SettingBank();
    stored = SettingBank();
}

KvDevice* KvDevice::Root() {
    KvDevice* device = this;
    while (device->parent != nullptr) device = device->parent;
    return device;
}

KvString KvDevice::RouteText() const {
    if (parent == nullptr) return KvString();
    // Every hop is named the way the addressed device is reached.
    const auto hopName = [this](const KvDevice& hop) {
        return addressMode == 1 ? KvString::FromUnsigned(hop.running.address)
                                : KvString::FromUnsigned(hop.serialNumber, 9);
    };
    KvString text = hopName(*this);
    for (const KvDevice* hop = parent; hop->parent != nullptr; hop = hop->parent) {
        text = hopName(*hop) + "," + text;
    }
    return Concat("!", text);
}

KvString KvDevice::SendCommand(const KvString& mnemonic, const KvString& parameter, int scope) {
    const KvString route = RouteText();
    KvConduit* const line = Root()->conduit;
    // No conduit handed over yet: there is no transport to carry the request.
    if (line == nullptr) throw KvConduitException();

    KvString request;
    request += ScopeCharacter(scope);
    request += mnemonic;
    request += route;
    if (parameter.Length() != 0) {
        request += ':';
        request += parameter;
    }
    request += "\r\n";

    const KvString answer = line->Transact(request);
    if (answer.Length() < 4) throw KvNoResponseException();
    if (answer.Substring(1, 3) == "NAK") ThrowRejection(answer.Substring(5, 2).ToLong(), answer);
    return answer;
}

void KvDevice::ReadVersion() {
    const KvString answer = Command(*this, "VER", KvString(), 0);
    // The text between the six leading characters and the closing CR LF.
    version = answer.Length() < 8 ? KvString() : answer.Substring(6, answer.Length() - 8);
}

void KvDevice::ReadMode() { ReadPairInto(*this, "MOD", &SettingBank::mode); }

void KvDevice::ReadAddress() { ReadPairInto(*this, "SAD", &SettingBank::address); }

void KvDevice::ReadPartnerAddress() { ReadPairInto(*this, "PAD", &SettingBank::partnerAddress); }

void KvDevice::ReadPan() { ReadPairInto(*this, "PAN", &SettingBank::pan); }

void KvDevice::ReadFrequency() { ReadPairInto(*this, "FRQ", &SettingBank::frequency); }

void KvDevice::ReadRetryCount() { ReadPairInto(*this, "RTY", &SettingBank::retryCount); }

void KvDevice::ReadLed() {
    // Only a first value of exactly 1 means on.
    const Pair pair =
        QueryPair(*this, "LED", std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    const std::uint8_t on = pair.running == 1 ? 1 : 0;
    running.led = on;
    stored.led = on;
}

void KvDevice::ReadSerialSettings() {
    const KvString data = Command(*this, "SCI", KvString(), 0).Substring(6);
    const std::int32_t slash = data.Find("/");
    const KvString runningHalf = slash < 0 ? data : data.Substring(0, slash);
    const KvString storedHalf = slash < 0 ? data : data.Substring(slash + 1);
    StoreLineHalf(running, ParseLineHalf(runningHalf));
    StoreLineHalf(stored, ParseLineHalf(storedHalf));
}

void KvDevice::ReadPinFunctions() {
    runningPinsWellFormed = false;
    // Four digits a bank; a wider number is no pin code.
    const KvString answer = Command(*this, "PFC", KvString(), 0);
    Pair pair;
    answer.ParsePair(pair.running, pair.stored);
    if (pair.running < 0 || pair.running > 9999 || pair.stored < 0 || pair.stored > 9999) {
        throw KvAnswerException(answer, "pin functions outside 0000-9999");
    }
    runningPinsWellFormed = IsPinCode(RunningText(answer));
    for (int pin = 3; pin >= 0; --pin) {
        running.pinFunctions[pin] = '0' + pair.running % 10;
        stored.pinFunctions[pin] = '0' + pair.stored % 10;
        pair.running /= 10;
        pair.stored /= 10;
    }
}

void KvDevice::ReadSerialNumber() { serialNumber = SerialNumberFrom(SendCommand("MAN", KvString(), 0)); }

std::uint32_t KvDevice::SerialNumberFrom(const KvString& answer) {
    CheckAnswer(answer, "MAN");
    const std::int32_t serial = answer.Substring(6).ToLong();
    if (serial < 0 || static_cast<std::uint32_t>(serial) > kLastSerialNumber) {
        throw KvAnswerException(answer, "a serial number outside 0-999999999");
    }
    return static_cast<std::uint32_t>(serial);
}

void KvDevice::ReadAll() {
    ReadVersion();
    ReadMode();
    ReadAddress();
    ReadPartnerAddress();
    ReadPan();
    ReadFrequency();
    ReadRetryCount();
    ReadLed();
    ReadSerialSettings();
    ReadPinFunctions();
}

void KvDevice::SetMode(std::uint32_t value, int scope) {
    const auto narrowed = static_cast<std::uint8_t>(value);
    Command(*this, "MOD", KvString::FromUnsigned(narrowed), scope);
    CacheByScope(*this, &SettingBank::mode, narrowed, scope);
}

void KvDevice::SetAddress(std::uint32_t value, int scope) {
    const auto narrowed = static_cast<std::uint16_t>(value);
    Command(*this, "SAD", KvString::FromUnsigned(narrowed), scope);
    CacheByScope(*this, &SettingBank::address, narrowed, scope);
}

void KvDevice::SetPartnerAddress(std::uint32_t value, int scope) {
    const auto narrowed = static_cast<std::uint16_t>(value);
    Command(*this, "PAD", KvString::FromUnsigned(narrowed), scope);
    CacheByScope(*this, &SettingBank::partnerAddress, narrowed, scope);
}

void KvDevice::SetFrequency(std::uint32_t value, int scope) {
    const auto narrowed = static_cast<std::uint8_t>(value);
    Command(*this, "FRQ", KvString::FromUnsigned(narrowed), scope);
    CacheByScope(*this, &SettingBank::frequency, narrowed, scope);
}

void KvDevice::SetSerialSettings(std::uint32_t baud, std::int32_t dataBits, std::int32_t parity, std::int32_t stopBits,
                                 int scope) {
    KvString parameter = KvString::FromUnsigned(baud);
    parameter += ',';
    parameter += static_cast<char>(dataBits & 0xFF);
    parameter += ',';
    parameter += static_cast<char>(parity & 0xFF);
    parameter += ',';
    parameter += static_cast<char>(stopBits & 0xFF);
    // The device answers at its old settings; the cache learns the new ones
    // from the next read.
    Command(*this, "SCI", parameter, scope);
}

void KvDevice::SetPinFunction(int index, std::int32_t value, int scope) {
    // There are four pin pairs; any other index names no pin and would
    // reach outside the banks.
    if (!ValidPin(index)) return;
    // The device takes all four functions in one request, so each request is
    // built from the bank it changes. Both banks: two requests, never "+".
    if (scope == 1 || scope == 2) {
        Command(*this, "PFC", PinParameter(stored, index, value), 1);
        stored.pinFunctions[index] = value;
    }
    if (scope != 1) {
        Command(*this, "PFC", PinParameter(running, index, value), 0);
        running.pinFunctions[index] = value;
    }
}

// The module restores its factory settings and restarts: what it answers is
// not examined.
void KvDevice::Initialize() { SendCommand("INI", KvString(), 0); }

std::uint8_t KvDevice::GetMode(bool fromStored) const { return fromStored ? stored.mode : running.mode; }

std::uint16_t KvDevice::GetAddress(bool fromStored) const { return fromStored ? stored.address : running.address; }

std::uint8_t KvDevice::GetFrequency(bool fromStored) const { return fromStored ? stored.frequency : running.frequency; }

std::int32_t KvDevice::GetBaudRate(bool fromStored) const { return fromStored ? stored.baudRate : running.baudRate; }

std::int32_t KvDevice::GetDataBits(bool fromStored) const { return fromStored ? stored.dataBits : running.dataBits; }

std::int32_t KvDevice::GetParity(bool fromStored) const { return fromStored ? stored.parity : running.parity; }

std::int32_t KvDevice::GetStopBits(bool fromStored) const { return fromStored ? stored.stopBits : running.stopBits; }

std::int32_t KvDevice::GetPinFunction(int index, bool fromStored) const {
    if (!ValidPin(index)) return 0;
    return fromStored ? stored.pinFunctions[index] : running.pinFunctions[index];
}

KvString KvDevice::GetVersion() const { return version; }

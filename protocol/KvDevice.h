#pragma once
#include <cstdint>
#include <list>

#include "KvConduit.h"
#include "KvString.h"

// One copy of every cached setting (running or stored). Tokens are character
// codes: dataBits '7'/'8', parity 'N'/'E'/'O', stopBits '1'/'2', pin functions '0'..'9'.
struct SettingBank {
    std::uint8_t mode = 0;
    std::uint16_t address = 0;
    std::uint16_t pan = 0;
    std::uint8_t frequency = 0;
    std::uint8_t retryCount = 0;
    std::uint8_t led = 0;
    std::uint16_t partnerAddress = 0;
    std::int32_t baudRate = 0;
    std::int32_t dataBits = 0;
    std::int32_t parity = 0;
    std::int32_t stopBits = 0;
    std::int32_t pinFunctions[4] = {0, 0, 0, 0};
};

// The program's model of one Tarnik module: one operation per command, each a
// single request line and answer line, and a cache of the running and the
// stored value of every setting. Scope: 0 running ("-"), 1 stored ("@"),
// 2 both ("+"); queries always go out with "-".
class KvDevice {
public:
    KvDevice();
    virtual ~KvDevice();
    KvDevice(const KvDevice&) = delete;
    KvDevice& operator=(const KvDevice&) = delete;

    virtual void ResetMembers();

    // One transaction: builds the request line, sends it through the root's
    // conduit and returns the answer line (CR LF included) unless it is a
    // rejection. Throws the conduit's exceptions, KvNoResponseException, the
    // NAK exception of the code, or KvStringFormatException for a NAK code
    // that is not a number.
    KvString SendCommand(const KvString& mnemonic, const KvString& parameter, int scope);
    KvDevice* Root();
    KvString RouteText() const;

    // Every command below checks its answer before it reads anything from it:
    // the answer of that command ("*SAD: ..."), ending in CR LF, each value
    // within its field (a serial number within nine digits). Anything else
    // throws KvAnswerException and leaves the cache as it was.
    // Queries: the answer goes into the cache.
    void ReadVersion();
    void ReadMode();
    void ReadAddress();
    void ReadPartnerAddress();
    void ReadPan();
    void ReadFrequency();
    void ReadRetryCount();
    void ReadLed();
    void ReadSerialSettings();
    void ReadPinFunctions();
    void ReadSerialNumber();
    // The serial number of a MAN answer, checked as above (the search and the
    // escape read MAN answers of their own).
    static std::uint32_t SerialNumberFrom(const KvString& answer);
    static constexpr std::uint32_t kLastSerialNumber = 999999999;
    // The module's own address and its partner's: 0 to 9999. Its radio
    // channel: 0 to 75 (2405 to 2480 MHz, one a megahertz).
    static constexpr int kLastAddress = 9999;
    static constexpr int kLastChannel = 75;
    // VER, MOD, SAD, PAD, PAN, FRQ, RTY, LED, SCI, PFC in this order; stops at the first failure.
    void ReadAll();

    // Writes: the value is narrowed (8 bits for MOD and FRQ, 16 for SAD and PAD)
    // and cached by scope once the device accepted it. Callers check ranges
    // before they write.
    void SetMode(std::uint32_t value, int scope);
    void SetAddress(std::uint32_t value, int scope);
    void SetPartnerAddress(std::uint32_t value, int scope);
    void SetFrequency(std::uint32_t value, int scope);
    // Leaves the cache alone: the new values are seen after the next read.
    void SetSerialSettings(std::uint32_t baud, std::int32_t dataBits, std::int32_t parity, std::int32_t stopBits,
                           int scope);
    // index 0..3, value a character code. Scope 2 is two requests: "@" built
    // from the stored bank, then "-" built from the running bank.
    void SetPinFunction(int index, std::int32_t value, int scope);
    void Initialize();

    // Cache getters; no traffic.
    std::uint8_t GetMode(bool stored) const;
    std::uint16_t GetAddress(bool stored) const;
    std::uint8_t GetFrequency(bool stored) const;
    std::int32_t GetBaudRate(bool stored) const;
    std::int32_t GetDataBits(bool stored) const;
    std::int32_t GetParity(bool stored) const;
    std::int32_t GetStopBits(bool stored) const;
    std::int32_t GetPinFunction(int index, bool stored) const;
    KvString GetVersion() const;

    std::uint32_t serialNumber = 0;
    KvString version;
    SettingBank running;
    SettingBank stored;
    KvConduit* conduit = nullptr;  // owned; only the attached device has one
    // The running value of the last PFC answer was a pin code as the device
    // writes it: four characters '0' to '2' (which pins can be analog inputs is
    // the model's business; any of the four is taken).
    // Anything else was read into the cache all the same, but must not be
    // written back to the device.
    bool runningPinsWellFormed = false;
    int addressMode = 0;  // 1: route hops by address, otherwise by serial number
    KvDevice* parent = nullptr;
    std::list<KvDevice*> children;  // owned
};

#pragma once
#include <cstdint>

#include "KvConduit.h"
#include "KvSerialPort.h"

// KvConduit over a serial port. Per-call mode (keepOpen clear): every Read,
// Write and Transact opens the port and closes it again. Hold mode: the caller
// sets keepOpen, calls Open(), runs its batch and calls Close().
class KvSerialConduit : public KvConduit {
public:
    KvSerialConduit();
    ~KvSerialConduit() override;

    void Open() override;
    void Close() override;
    KvString Read() override;
    void Write(const KvString& text) override;
    KvString Transact(const KvString& request) override;

    // Tokens as in SerialSettings: dataBits '7'/'8', parity 'N'/'E'/'O',
    // stopBits '1'/'2'. The values apply from the next opening of the port.
    void SetLineSettings(std::uint32_t baud, std::int32_t dataBits, std::int32_t parity, std::int32_t stopBits);
    // Per-byte time-out from the baud rate.
    void SelectTimeout();
    void SetTimeout(std::uint32_t milliseconds);

    static std::uint32_t TimeoutForBaudRate(std::uint32_t baud);

    // One answer line may take at most this long, however the module paces
    // its bytes: the first byte's time-out, plus twice the time `answerLimit`
    // characters take on the line at the current settings, plus a margin.
    // A caller that expects a short answer may lower the limit (254, the
    // longest line read, by default); it applies from the next read.
    static constexpr int kLongestAnswer = 254;
    static constexpr std::uint32_t kAnswerMarginMs = 10;
    void SetAnswerLimit(int characters) { answerLimit = characters; }
    std::uint32_t AnswerBoundMs() const;

    bool IsOpen() const { return isOpen; }
    std::uint32_t BaudRate() const { return baudRate; }
    std::uint8_t ByteSize() const { return byteSize; }
    std::uint8_t Parity() const { return parity; }
    std::uint8_t StopBits() const { return stopBits; }
    std::uint32_t ParityCheck() const { return parityCheck; }
    std::uint32_t TimeoutMs() const { return timeoutMs; }

    bool keepOpen = false;

private:
    void OpenPort();
    void ClosePort();
    KvString ReadLine();
    bool ReadAnswerByte(std::uint8_t& byte, KvClock::Duration end, std::uint32_t& readTimeout);
    void WriteAll(const KvString& text);

    bool isOpen = false;
    KvSerialPort port;
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
    std::uint32_t parityCheck = 0;
    std::uint32_t timeoutMs = 240;
    int answerLimit = kLongestAnswer;
};

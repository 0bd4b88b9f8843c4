#pragma once
// --trace: every request and answer on the wire, with time stamps, on a
// stream of its own (standard error). Lines look like
//   trace   0.012 open /dev/ttyUSB0
//   trace   0.013 line 9600 8N1
//   trace   0.013 > -MAN\r\n
//   trace   0.031 < -MAN:000004242\r\n
//   trace   0.101 < (nothing within the time-out)
//   trace   0.101 close
// Seconds count from the start of the command. Bytes outside printable
// ASCII are shown as \r, \n or \xNN.
#include <cstdio>
#include <string>

#include "KvClock.h"
#include "KvPortTrace.h"

class WireTrace : public KvPortTracer {
public:
    WireTrace(std::FILE* out, KvClock& clock);
    ~WireTrace() override;
    WireTrace(const WireTrace&) = delete;
    WireTrace& operator=(const WireTrace&) = delete;

    void Opened(const KvString& name, bool ok) override;
    void LineSet(const KvLineParams& line, bool ok) override;
    void Wrote(std::uint8_t byte, bool ok) override;
    void Read(std::uint8_t byte, bool ok) override;
    void Closed() override;

    // The visible form of a byte: "A", "\r", "\x02".
    static std::string Visible(std::uint8_t byte);

private:
    void Flush();
    void Add(char direction, std::uint8_t byte);
    void Print(double at, const std::string& text);
    double Seconds();

    std::FILE* out_;
    KvClock& clock_;
    KvClock::Duration start_;
    char direction_ = 0;  // '>' or '<' while a line is being gathered
    double lineStart_ = 0;
    std::string line_;
};

#include "Trace.h"

WireTrace::WireTrace(std::FILE* out, KvClock& clock) : out_(out), clock_(clock), start_(clock.Now()) {}

WireTrace::~WireTrace() { Flush(); }

double WireTrace::Seconds() { return std::chrono::duration<double>(clock_.Now() - start_).count(); }

std::string WireTrace::Visible(std::uint8_t byte) {
    if (byte == '\r') return "\\r";
    if (byte == '\n') return "\\n";
    if (byte == '\\') return "\\\\";
    if (byte >= 0x20 && byte < 0x7F) return std::string(1, static_cast<char>(byte));
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    return hex;
}

void WireTrace::Print(double at, const std::string& text) {
    std::fprintf(out_, "trace %7.3f %s\n", at, text.c_str());
    std::fflush(out_);
}

void WireTrace::Flush() {
    if (direction_ == 0) return;
    Print(lineStart_, std::string(1, direction_) + " " + line_);
    direction_ = 0;
    line_.clear();
}

void WireTrace::Add(char direction, std::uint8_t byte) {
    if (direction_ != direction) {
        Flush();
        direction_ = direction;
        lineStart_ = Seconds();
    }
    line_ += Visible(byte);
    // A line ends with its LF.
    if (byte == '\n') Flush();
}

void WireTrace::Opened(const KvString& name, bool ok) {
    Flush();
    Print(Seconds(), "open " + name.Bytes() + (ok ? "" : " (failed)"));
}

void WireTrace::LineSet(const KvLineParams& line, bool ok) {
    Flush();
    const char parity = line.parity == 2 ? 'E' : line.parity == 1 ? 'O' : 'N';
    const char stop = line.stopBits == 2 ? '2' : '1';
    Print(Seconds(), "line " + std::to_string(line.baudRate) + " " + std::to_string(line.byteSize) + parity + stop +
                         (ok ? "" : " (refused)"));
}

void WireTrace::Wrote(std::uint8_t byte, bool ok) {
    if (ok) {
        Add('>', byte);
    } else {
        Flush();
        Print(Seconds(), "> (write failed)");
    }
}

void WireTrace::Read(std::uint8_t byte, bool ok) {
    if (ok) {
        Add('<', byte);
    } else {
        Flush();
        Print(Seconds(), "< (nothing within the time-out)");
    }
}

void WireTrace::Closed() {
    Flush();
    Print(Seconds(), "close");
}

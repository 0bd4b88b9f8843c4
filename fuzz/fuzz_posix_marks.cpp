// The POSIX port's decoding of the marks a terminal with PARMRK puts in its
// input. The input is a stream of received bytes, each possibly with a line
// error: byte 0xFE says the byte after it arrived with one. It is encoded as
// the terminal does (FF as FF FF, an error byte x as FF 00 x), cut anywhere
// into reads, and decoded.
//
// Checked: the decoder gives back exactly the bytes before the first error and
// then reports the error; a mark cut between two reads decodes the same; raw
// input that no terminal would produce never yields more bytes than it holds.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFail.h"
#include "PosixLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arbitrary raw input: no crash, never more out than in.
    {
        PosixMarkDecoder decoder;
        std::size_t out = 0;
        for (std::size_t i = 0; i < size; ++i) {
            std::uint8_t byte = 0;
            if (decoder.Feed(data[i], byte) == PosixMarkDecoder::Step::Byte) ++out;
            while (decoder.TakePending(byte)) ++out;
        }
        if (out > size) Fail("more bytes decoded than received");
    }

    // The received stream and its encoding.
    std::string expected;
    bool hasError = false;
    std::vector<std::uint8_t> raw;
    for (std::size_t i = 0; i < size && !hasError; ++i) {
        if (data[i] == 0xFE && i + 1 < size) {
            raw.insert(raw.end(), {0xFF, 0x00, data[i + 1]});
            hasError = true;
            break;
        }
        if (data[i] == 0xFF) raw.push_back(0xFF);
        raw.push_back(data[i]);
        expected += static_cast<char>(data[i]);
    }

    // Decoded as the port reads: pending byte first, then raw bytes until one
    // comes out or the line fails.
    PosixMarkDecoder decoder;
    std::string decoded;
    bool failed = false;
    std::size_t at = 0;
    while (!failed) {
        std::uint8_t byte = 0;
        if (decoder.TakePending(byte)) {
            decoded += static_cast<char>(byte);
            continue;
        }
        if (at == raw.size()) break;
        switch (decoder.Feed(raw[at++], byte)) {
        case PosixMarkDecoder::Step::More: break;
        case PosixMarkDecoder::Step::Byte: decoded += static_cast<char>(byte); break;
        case PosixMarkDecoder::Step::LineError: failed = true; break;
        }
    }
    if (decoded != expected) Fail("decoded bytes differ from the bytes received");
    if (failed != hasError) Fail("a line error was lost or invented");
    return 0;
}

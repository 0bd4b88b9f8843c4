#pragma once
// A tap on every serial port of the process, real and virtual: what was
// opened, every byte written and read, every read that found nothing. The
// command-line tool's --trace hangs its wire log here. One tracer at a time;
// none is set unless asked for.
#include <cstdint>

#include "KvString.h"
#include "KvVirtualPort.h"

class KvPortTracer {
public:
    virtual ~KvPortTracer() = default;
    virtual void Opened(const KvString& name, bool ok) = 0;
    virtual void LineSet(const KvLineParams& line, bool ok) = 0;
    virtual void Wrote(std::uint8_t byte, bool ok) = 0;
    // ok false: no byte within the time-out (or the read failed).
    virtual void Read(std::uint8_t byte, bool ok) = 0;
    virtual void Closed() = 0;
};

// nullptr removes the tracer. The caller keeps it alive while it is set.
void KvSetPortTracer(KvPortTracer* tracer);
KvPortTracer* KvCurrentPortTracer();

#pragma once
#include "KvString.h"

// The byte transport to a device: a request goes out as one text, an answer
// comes back as one line ending in CR LF.
class KvConduit {
public:
    virtual ~KvConduit();
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual KvString Read() = 0;
    virtual void Write(const KvString& text) = 0;
    // Writes the request and returns one answer line. The base class has no
    // transport and throws KvConduitException.
    virtual KvString Transact(const KvString& request);

    KvString portName;
};

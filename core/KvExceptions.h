#pragma once
#include <cstdint>

#include "KvString.h"

// The program's failures. Thrown by value, caught by reference, most-derived
// class first; the class is the information, the user interface picks its
// dialog by the class it caught. Objects are never deleted through a base
// pointer, so the classes need no virtual destructor.

class KvException {
public:
    virtual KvString Describe() const;
};

class KvConduitException : public KvException {
public:
    KvString Describe() const override;
};
// Why a port failed, as far as the operating system tells: why it could not
// be had, or why a read or write on it failed because the device went away
// (an adapter unplugged, a terminal hung up). Shown to the user beside the
// failure dialog; never part of Describe.
struct KvPortFailure {
    enum class Cause { Unknown, NoSuchPort, AccessDenied, Busy, Other, Gone };
    Cause cause = Cause::Unknown;
    KvString port;            // the name as given: "COM3", "/dev/ttyUSB0"
    KvString path;            // the device opened for it: "/dev/ttyS2", "\\.\COM3"
    KvString osReason;        // the system's own text for the error (strerror, FormatMessage)
    std::int64_t osCode = 0;  // errno or GetLastError; 0 when the refusal was the program's own
    KvString heldBy;          // who holds the device, when that can be seen: "cat (pid 4711)"

    // "/dev/ttyUSB0: Permission denied", with the holder when known;
    // "/dev/ttyUSB0: the device has gone (Input/output error)".
    KvString Summary() const;
};
// The name the open path has always used.
using KvPortOpenFailure = KvPortFailure;

class KvConduitOpenException : public KvConduitException {
public:
    KvConduitOpenException() = default;
    explicit KvConduitOpenException(const KvPortOpenFailure& why) : failure(why) {}
    KvString Describe() const override;
    KvPortOpenFailure failure;
};
// The port opened but refused the line settings or the time-outs. `failure`
// carries the system's code and text when the platform tells them (cause
// Unknown otherwise).
class KvConduitConfigException : public KvConduitException {
public:
    KvConduitConfigException() = default;
    explicit KvConduitConfigException(const KvPortFailure& why) : failure(why) {}
    KvString Describe() const override;
    KvPortFailure failure;
};
// A read or write that failed. `failure` says why when the device went away
// (cause Gone); its cause is Unknown when the line stayed silent or failed
// in another way.
class KvConduitReadException : public KvConduitException {
public:
    KvConduitReadException() = default;
    explicit KvConduitReadException(const KvPortFailure& why) : failure(why) {}
    KvString Describe() const override;
    KvPortFailure failure;
};
class KvConduitWriteException : public KvConduitException {
public:
    KvConduitWriteException() = default;
    explicit KvConduitWriteException(const KvPortFailure& why) : failure(why) {}
    KvString Describe() const override;
    KvPortFailure failure;
};

class KvNoResponseException : public KvException {
public:
    KvString Describe() const override;
};

// An answer line the protocol does not allow: another command's answer, a
// line cut off before its CR LF, a value outside its field. `message` is the
// answer as it came, `reason` says what is wrong with it. The program never
// guesses what such a module meant; it reports a communication failure.
class KvAnswerException : public KvException {
public:
    KvAnswerException(const KvString& answer, const KvString& why) : message(answer), reason(why) {}
    KvString Describe() const override;
    KvString message;
    KvString reason;
};

// A rejection from the device; `message` is the whole answer line, CR LF included.
class KvNAKException : public KvException {
public:
    KvNAKException() = default;
    explicit KvNAKException(const KvString& answer) : message(answer) {}
    KvString Describe() const override;
    KvString message;
};

#define KV_NAK_SUBCLASS(Name)                                             \
    class Name : public KvNAKException {                                  \
    public:                                                               \
        Name() = default;                                                 \
        explicit Name(const KvString& answer) : KvNAKException(answer) {} \
        KvString Describe() const override;                               \
    };

KV_NAK_SUBCLASS(KvNAKCommandException)
KV_NAK_SUBCLASS(KvNAKParameterException)
KV_NAK_SUBCLASS(KvNAKRouteException)
KV_NAK_SUBCLASS(KvNAKInforomException)
KV_NAK_SUBCLASS(KvNAKByteTimeoutException)
KV_NAK_SUBCLASS(KvNAKRetryFailedException)
KV_NAK_SUBCLASS(KvNAKResponseTimeoutException)
KV_NAK_SUBCLASS(KvNAKTargetBusyException)
KV_NAK_SUBCLASS(KvNAKDuplicatePacketException)
#undef KV_NAK_SUBCLASS

// A second root: text that is not a number. Handlers of KvException do not see it.
class KvStringException {
public:
    explicit KvStringException(const KvString& text) : message(text) {}
    virtual KvString Describe() const;
    KvString message;
};

class KvStringFormatException : public KvStringException {
public:
    explicit KvStringFormatException(const KvString& text) : KvStringException(text) {}
    KvString Describe() const override;
};

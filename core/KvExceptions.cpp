#include "KvExceptions.h"

#include <string>

KvString KvException::Describe() const { return "KvException"; }
KvString KvConduitException::Describe() const { return "KvConduitException"; }
KvString KvConduitOpenException::Describe() const { return "KvConduitOpenException"; }
KvString KvConduitConfigException::Describe() const { return "KvConduitConfigException"; }
KvString KvConduitReadException::Describe() const { return "KvConduitReadException"; }
KvString KvConduitWriteException::Describe() const { return "KvConduitWriteException"; }
KvString KvNoResponseException::Describe() const { return "KvNoResponseException"; }
KvString KvAnswerException::Describe() const {
    KvString text = Concat("KvAnswerException:", reason);
    text += ": ";
    text += message;
    return text;
}

KvString KvNAKException::Describe() const { return Concat("KvNAKException:", message); }
KvString KvNAKCommandException::Describe() const { return Concat("KvNAKCommandException:", message); }
KvString KvNAKParameterException::Describe() const { return Concat("KvNAKParameterException:", message); }
KvString KvNAKRouteException::Describe() const { return Concat("KvNAKRouteException:", message); }
KvString KvNAKInforomException::Describe() const { return Concat("KvNAKInforomException:", message); }
KvString KvNAKByteTimeoutException::Describe() const { return Concat("KvNAKByteTimeoutException:", message); }
KvString KvNAKRetryFailedException::Describe() const { return Concat("KvNAKRetryFailedException:", message); }
KvString KvNAKResponseTimeoutException::Describe() const { return Concat("KvNAKResponseTimeoutException:", message); }
KvString KvNAKTargetBusyException::Describe() const { return Concat("KvNAKTargetBusyException:", message); }
KvString KvNAKDuplicatePacketException::Describe() const { return Concat("KvNAKDuplicatePacketException:", message); }

KvString KvStringException::Describe() const { return Concat("KvStringException:", message); }
KvString KvStringFormatException::Describe() const { return Concat("KvStringFormatException", message); }

KvString KvPortFailure::Summary() const {
    std::string text = (path.Length() > 0 ? path : port).Bytes();
    if (port.Length() > 0 && path.Length() > 0 && port.Bytes() != path.Bytes()) text += " (" + port.Bytes() + ")";
    if (cause == Cause::Gone) {
        text += ": the device has gone";
        if (osReason.Length() > 0) text += " (" + osReason.Bytes() + ")";
        return KvString(text.c_str(), static_cast<std::int32_t>(text.size()));
    }
    text += ": " + (osReason.Length() > 0 ? osReason.Bytes() : std::string("cannot be opened"));
    if (heldBy.Length() > 0) text += "; held by " + heldBy.Bytes();
    return KvString(text.c_str(), static_cast<std::int32_t>(text.size()));
}

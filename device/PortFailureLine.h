#pragma once
// The line under the port-error dialog's text in the desktop programs: the
// device, then the system's reason as the system gives it, with the program's
// own words around it in Japanese:
//   "/dev/ttyUSB0: Permission denied"
//   "\\.\COM3 (COM3): アクセスが拒否されました。　使用中のプログラム：minicom (pid 4711)"
//   "/dev/ttyUSB0: 装置が取り外されました（Input/output error）"
#include <string>

#include "KvExceptions.h"
#include "Texts.h"

inline std::string KvPortFailureLine(const KvPortFailure& failure) {
    const KvPortFailureWords& words = KvPortFailureTexts();
    const std::string& port = failure.port.Bytes();
    const std::string& path = failure.path.Bytes();
    std::string line = path.empty() ? port : path;
    if (!port.empty() && !path.empty() && port != path) line += " (" + port + ")";
    const std::string& reason = failure.osReason.Bytes();
    if (failure.cause == KvPortFailure::Cause::Gone) {
        line += std::string(": ") + words.gone;
        if (!reason.empty()) line += "（" + reason + "）";
        return line;
    }
    line += ": " + (reason.empty() ? std::string(words.cannotOpen) : reason);
    if (failure.heldBy.Length() > 0) line += std::string("　") + words.heldBy + failure.heldBy.Bytes();
    return line;
}

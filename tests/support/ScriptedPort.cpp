#include "ScriptedPort.h"

bool ScriptedPort::Open() {
    if (failOpen || isOpen) return false;
    isOpen = true;
    ++openCount;
    return true;
}

bool ScriptedPort::SetLine(const KvLineParams& l) {
    if (failSetLine) return false;
    line = l;
    return true;
}

bool ScriptedPort::SetTimeouts(const KvPortTimeouts& t) {
    if (failSetTimeouts) return false;
    timeouts = t;
    return true;
}

bool ScriptedPort::WriteByte(std::uint8_t byte) {
    if (!isOpen) return false;
    if (failWriteAfter == 0) return false;
    if (failWriteAfter > 0) --failWriteAfter;
    written += static_cast<char>(byte);
    currentLine += static_cast<char>(byte);
    if (byte == '\n') {
        lines.push_back(currentLine);
        currentLine.clear();
        if (!answers.empty()) {
            std::string answer = answers.front();
            // "*~" stands for the answer of the command just heard: "*SAD" for "+SAD:25".
            if (answer.rfind("*~", 0) == 0 && lines.back().size() >= 4) {
                std::string expanded(1, '*');
                expanded.append(lines.back(), 1, 3).append(answer, 2);
                answer = expanded;
            }
            pendingInput += answer;
            answers.pop_front();
        }
    }
    return true;
}

bool ScriptedPort::ReadByte(std::uint8_t& byte) {
    if (!isOpen) return false;
    if (pendingInput.empty()) {
        clock_.SleepFor(std::chrono::milliseconds(timeouts.readConstant));
        return false;
    }
    byte = static_cast<std::uint8_t>(pendingInput.front());
    pendingInput.erase(0, 1);
    return true;
}

bool ScriptedPort::Close() {
    if (!isOpen) return false;
    isOpen = false;
    ++closeCount;
    return true;
}

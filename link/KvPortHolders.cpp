#include "KvPortHolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

KvString K(const std::string& text) { return KvString(text.c_str(), static_cast<std::int32_t>(text.size())); }

std::string LinkTarget(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string ProcessName(long pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(file, name);
    return name.empty() ? "pid " + std::to_string(pid) : name + " (pid " + std::to_string(pid) + ")";
}

bool IsNumber(const char* text) {
    if (!*text) return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

// The index of a pseudo-terminal's slave path ("/dev/pts/3" -> 3), -1 for any other device.
long PtyIndex(const std::string& path) {
    const std::string prefix = "/dev/pts/";
    if (path.rfind(prefix, 0) != 0 || !IsNumber(path.c_str() + prefix.size())) return -1;
    return std::strtol(path.c_str() + prefix.size(), nullptr, 10);
}

// True when process `pid` holds the master end of pseudo-terminal `index`.
bool HoldsMaster(const std::string& pid, long index) {
    const std::string fdDir = "/proc/" + pid + "/fd";
    DIR* dir = opendir(fdDir.c_str());
    if (!dir) return false;
    bool holds = false;
    while (const dirent* fd = readdir(dir)) {
        if (!IsNumber(fd->d_name)) continue;
        const std::string target = LinkTarget(fdDir + "/" + fd->d_name);
        if (target != "/dev/ptmx" && target != "/dev/pts/ptmx") continue;
        std::ifstream info("/proc/" + pid + "/fdinfo/" + fd->d_name);
        for (std::string line; std::getline(info, line);) {
            if (line.rfind("tty-index:", 0) == 0 && std::strtol(line.c_str() + 10, nullptr, 10) == index) holds = true;
        }
        if (holds) break;
    }
    closedir(dir);
    return holds;
}

bool Alive(long pid) { return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

}  // namespace

std::string KvFindPortHolder(const std::string& devicePath) {
    const std::string device = RealPath(devicePath);
    const long ptyIndex = PtyIndex(device);
    const std::string self = std::to_string(getpid());
    DIR* proc = opendir("/proc");
    if (!proc) return {};
    std::string holder;
    while (holder.empty()) {
        const dirent* entry = readdir(proc);
        if (!entry) break;
        if (!IsNumber(entry->d_name) || self == entry->d_name) continue;
        const std::string fdDir = std::string("/proc/") + entry->d_name + "/fd";
        // Another user's processes stay closed to us (unless we are root).
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;
        bool holds = false;
        while (const dirent* fd = readdir(fds)) {
            if (IsNumber(fd->d_name) && LinkTarget(fdDir + "/" + fd->d_name) == device) {
                holds = true;
                break;
            }
        }
        closedir(fds);
        if (holds && !(ptyIndex >= 0 && HoldsMaster(entry->d_name, ptyIndex))) {
            holder = ProcessName(std::strtol(entry->d_name, nullptr, 10));
        }
    }
    closedir(proc);
    return holder;
}

long KvLockFilePid(const std::string& content) {
    std::istringstream text(content);
    long pid = 0;
    if (text >> pid && pid > 0) return pid;
    if (content.size() == 4) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.data(), 4);
        if (binary > 0) return binary;
    }
    return 0;
}

std::string KvFindUucpLock(const std::string& devicePath, const std::string& lockDir) {
    const std::string device = RealPath(devicePath);
    // LCK.. and the name below /dev, slashes made underscores; the last part
    // alone is what older programs write.
    std::string below = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    const std::string base = below.substr(below.rfind('/') + 1);
    for (char& c : below) {
        if (c == '/') c = '_';
    }
    for (const std::string& name : {below, base}) {
        std::ifstream file(lockDir + "/LCK.." + name, std::ios::binary);
        if (!file) continue;
        std::ostringstream content;
        content << file.rdbuf();
        const long pid = KvLockFilePid(content.str());
        if (pid != getpid() && Alive(pid)) return ProcessName(pid);
    }
    return {};
}

std::string KvPortHolderCheck::Holder(const std::string& devicePath) {
    std::string holder = KvFindUucpLock(devicePath);
    if (!holder.empty()) return holder;
    const long long now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    if (devicePath == cleanPath_ && now - cleanAtMs_ < 1000) return {};
    holder = KvFindPortHolder(devicePath);
    cleanPath_ = holder.empty() ? devicePath : std::string();
    cleanAtMs_ = now;
    return holder;
}

KvPortOpenFailure KvOpenFailureFor(const std::string& port, const std::string& path, int error) {
    KvPortOpenFailure failure;
    failure.port = K(port);
    failure.path = K(path);
    failure.osCode = error;
    failure.osReason = K(std::strerror(error));
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR: failure.cause = KvPortOpenFailure::Cause::NoSuchPort; break;
    case EACCES:
    case EPERM: failure.cause = KvPortOpenFailure::Cause::AccessDenied; break;
    case EBUSY:
    case EWOULDBLOCK: failure.cause = KvPortOpenFailure::Cause::Busy; break;
    default: failure.cause = KvPortOpenFailure::Cause::Other; break;
    }
    if (failure.cause == KvPortOpenFailure::Cause::Busy) {
        // flock's "would block" says less than the device being busy does.
        failure.osCode = EBUSY;
        failure.osReason = K(std::strerror(EBUSY));
        std::string holder = KvFindUucpLock(path);
        if (holder.empty()) holder = KvFindPortHolder(path);
        failure.heldBy = K(holder);
    }
    return failure;
}

#include "KvPortName.h"

#include <algorithm>

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

#ifndef _WIN32
// The names in `dir` that begin with one of `prefixes` (an empty prefix takes
// every name) and are no folders or links to folders; hidden entries left out.
// Device nodes, files and links (by-id) wherever they lead are taken. Of the
// hundreds of entries in /dev only the wanted ones are looked at closer.
std::vector<std::string> NamesIn(const std::string& dir, const std::vector<std::string>& prefixes) {
    auto wanted = [&prefixes](const std::string& name) {
        return std::any_of(prefixes.begin(), prefixes.end(),
                           [&name](const std::string& p) { return name.rfind(p, 0) == 0; });
    };
    std::vector<std::string> names;
    DIR* folder = opendir(dir.c_str());
    if (folder == nullptr) return names;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name[0] == '.' || !wanted(name) || entry->d_type == DT_DIR) continue;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            const std::string full = dir + '/' + name;
            struct stat info {};
            if (stat(full.c_str(), &info) == 0) {
                if (S_ISDIR(info.st_mode)) continue;
            } else if (lstat(full.c_str(), &info) != 0) {
                continue;  // gone meanwhile; a broken link stays
            }
        }
        names.push_back(name);
    }
    closedir(folder);
    std::sort(names.begin(), names.end(), KvPortNameLess);
    return names;
}
#endif

}  // namespace

unsigned KvComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12) return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (Upper(name[i]) != "COM"[i]) return 0;
    }
    if (name[3] == '0') return 0;
    unsigned number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!IsDigit(name[i])) return 0;
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return number;
}

std::string KvPortDevicePath(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) return "";
    if (name[0] == '/') return name;
#ifdef _WIN32
    if (name.rfind("\\\\.\\", 0) == 0) return name.size() > 4 ? name : "";
    return KvComNumber(name) != 0 ? "\\\\.\\" + name : "";
#else
    const unsigned number = KvComNumber(name);
    return number != 0 ? "/dev/ttyS" + std::to_string(number - 1) : "";
#endif
}

bool KvSamePortName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Upper(x) == Upper(y); });
}

bool KvSamePort(const std::string& a, const std::string& b) {
    const std::string pa = KvPortDevicePath(a);
    const std::string pb = KvPortDevicePath(b);
    if (pa.empty() || pb.empty()) return KvSamePortName(a, b);
#ifdef _WIN32
    return KvSamePortName(pa, pb);
#else
    return pa == pb;
#endif
}

bool KvPortNameLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && IsDigit(a[ie])) ++ie;
            while (je < b.size() && IsDigit(b[je])) ++je;
            // By value without converting: leading zeros off, then length, then text.
            while (i + 1 < ie && a[i] == '0') ++i;
            while (j + 1 < je && b[j] == '0') ++j;
            const std::string da = a.substr(i, ie - i), db = b.substr(j, je - j);
            if (da.size() != db.size()) return da.size() < db.size();
            if (da != db) return da < db;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> KvListedComNames() {
    std::vector<std::string> names;
    for (int n = 1; n <= 20; ++n) names.push_back("COM" + std::to_string(n));
    return names;
}

std::vector<std::string> KvSerialDevicePaths(const std::string& deviceRoot) {
    std::vector<std::string> paths;
#ifndef _WIN32
    const std::string byId = deviceRoot + "/serial/by-id";
    for (const std::string& name : NamesIn(byId, {""})) paths.push_back(byId + '/' + name);
    const std::vector<std::string> prefixes = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
    const std::vector<std::string> all = NamesIn(deviceRoot, prefixes);
    for (const std::string& prefix : prefixes) {
        for (const std::string& name : all) {
            if (name.rfind(prefix, 0) == 0) paths.push_back(deviceRoot + '/' + name);
        }
    }
#else
    (void)deviceRoot;
#endif
    return paths;
}

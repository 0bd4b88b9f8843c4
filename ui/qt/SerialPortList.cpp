#include "SerialPortList.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

// Orders names so that runs of digits compare by value: ttyUSB2 < ttyUSB10.
bool NaturalLess(const QString& a, const QString& b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            int iEnd = i;
            int jEnd = j;
            while (iEnd < a.size() && a[iEnd].isDigit()) ++iEnd;
            while (jEnd < b.size() && b[jEnd].isDigit()) ++jEnd;
            // Compare by value without converting: strip leading zeros, then length, then text.
            QStringView da = QStringView(a).mid(i, iEnd - i);
            QStringView db = QStringView(b).mid(j, jEnd - j);
            while (da.size() > 1 && da.front() == u'0') da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0') db = db.mid(1);
            if (da.size() != db.size()) return da.size() < db.size();
            if (const int c = da.compare(db); c != 0) return c < 0;
            i = iEnd;
            j = jEnd;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

// The names in `dir` that begin with one of `prefixes` (an empty prefix takes
// every name) and are not folders or links to folders, hidden entries left out:
// files, device nodes, FIFOs, sockets, links (by-id) wherever they lead.
QStringList NamesIn(const QString& dir, const QStringList& prefixes)
{
    auto wanted = [&prefixes](const QString& name) {
        return std::any_of(prefixes.begin(), prefixes.end(), [&name](const QString& p) { return name.startsWith(p); });
    };
    QStringList names;
#ifndef _WIN32
    // Read straight from the folder, so that of the hundreds of entries in /dev only
    // the few with a wanted name are looked at more closely.
    const QByteArray path = QFile::encodeName(dir);
    DIR* folder = opendir(path.constData());
    if (folder == nullptr) return names;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.') continue;  // hidden, "." and ".."
        const QString name = QFile::decodeName(entry->d_name);
        if (!wanted(name) || entry->d_type == DT_DIR) continue;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            const QByteArray full = path + '/' + entry->d_name;
            struct stat info {};
            if (stat(full.constData(), &info) == 0) {
                if (S_ISDIR(info.st_mode)) continue;
            } else if (lstat(full.constData(), &info) != 0) {
                continue;  // gone meanwhile; a broken link stays
            }
        }
        names << name;
    }
    closedir(folder);
#else
    const QStringList found = QDir(dir).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& name : found) {
        if (wanted(name)) names << name;
    }
#endif
    return names;
}

// Paths of those entries of `dir`, grouped by prefix in the order given, each
// group in natural order.
QStringList EntriesOf(const QString& dir, const QStringList& prefixes)
{
    const QStringList found = NamesIn(dir, prefixes);
    const QDir d(dir);
    QStringList paths;
    for (const QString& prefix : prefixes) {
        QStringList names;
        for (const QString& n : found) {
            if (n.startsWith(prefix)) names << n;
        }
        std::sort(names.begin(), names.end(), NaturalLess);
        for (const QString& n : names) paths << d.filePath(n);
    }
    return paths;
}

}  // namespace

QStringList SerialDevicePaths(const QString& deviceRoot)
{
    QStringList paths = EntriesOf(deviceRoot + QStringLiteral("/serial/by-id"), {QString()});
    paths << EntriesOf(deviceRoot, {QStringLiteral("ttyUSB"), QStringLiteral("ttyACM"), QStringLiteral("ttyAMA"),
                                    QStringLiteral("rfcomm")});
    return paths;
}

QStringList ComPortNames(const QString& deviceRoot)
{
    QStringList names;
    for (int n = 1; n <= 20; ++n) names << QStringLiteral("COM%1").arg(n);
#ifndef _WIN32
    names << SerialDevicePaths(deviceRoot);
#else
    Q_UNUSED(deviceRoot);
#endif
    return names;
}

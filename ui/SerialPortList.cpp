#include "SerialPortList.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

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

// Paths of the entries of `dir` whose names match one of `patterns`, grouped
// by pattern in the order given, each group in natural order. One pass over the folder.
QStringList EntriesOf(const QString& dir, const QStringList& patterns)
{
    QDir d(dir);
    if (!d.exists()) return {};
    // Device nodes are system files to QDir; symbolic links (by-id) may point anywhere.
    const QStringList found = d.entryList(patterns, QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    QStringList paths;
    for (const QString& pattern : patterns) {
        const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern));
        QStringList names = found.filter(match);
        std::sort(names.begin(), names.end(), NaturalLess);
        for (const QString& n : names) paths << d.filePath(n);
    }
    return paths;
}

}  // namespace

QStringList SerialDevicePaths(const QString& deviceRoot)
{
    QStringList paths = EntriesOf(deviceRoot + QStringLiteral("/serial/by-id"), {QStringLiteral("*")});
    paths << EntriesOf(deviceRoot, {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("ttyAMA*"),
                                    QStringLiteral("rfcomm*")});
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

#include "adb/AdbDeviceList.h"

#include <QRegularExpression>
#include <QStringList>

namespace dvk {

namespace {

// A detail of the long form; the state's own words ("no permissions (...)") never look like one.
bool isDetail(const QString& word)
{
    static const QRegularExpression detail(QStringLiteral("^[a-z_]+:\\S*$"));
    return detail.match(word).hasMatch();
}

} // namespace

QList<AdbDeviceList::Entry> AdbDeviceList::parse(const QString& output)
{
    QList<Entry> entries;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    for (const QString& line : output.split(lineEnd, Qt::SkipEmptyParts)) {
        Entry entry;
        if (parseLine(line, entry)) {
            entries.append(entry);
        }
    }
    return entries;
}

bool AdbDeviceList::parseLine(const QString& line, Entry& entry)
{
    // The header and the server's own remarks ("* daemon started successfully").
    if (line.startsWith(QLatin1String("List of devices")) || line.startsWith(QLatin1Char('*'))) {
        return false;
    }
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList words = line.trimmed().split(space, Qt::SkipEmptyParts);
    if (words.size() < 2) {
        return false;
    }
    entry = Entry();
    entry.serial = words.first();
    QStringList state;
    for (int i = 1; i < words.size(); ++i) {
        if (isDetail(words[i]) && !state.isEmpty()) {
            entry.details.insert(words[i].section(QLatin1Char(':'), 0, 0), words[i].section(QLatin1Char(':'), 1));
            continue;
        }
        if (entry.details.isEmpty()) {
            state.append(words[i]);
        }
    }
    entry.state = state.join(QLatin1Char(' '));
    return true;
}

} // namespace dvk

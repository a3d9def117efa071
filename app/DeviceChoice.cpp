#include "DeviceChoice.h"

#include <QRegExp>

namespace DeviceChoice {

bool isWirelessSerial(const QString& serial)
{
    static const QRegExp s_pattern(
        "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\:([0-9]|[1-9]\\d|"
        "[1-9]\\d{2}|[1-9]\\d{3}|[1-5]\\d{4}|6[0-4]\\d{3}|65[0-4]\\d{2}|655[0-2]\\d|6553[0-5])\\b");
    return s_pattern.exactMatch(serial);
}

int findSerial(const QStringList& serials, bool wireless)
{
    for (int i = 0; i < serials.size(); ++i) {
        if (isWirelessSerial(serials.at(i)) == wireless) {
            return i;
        }
    }
    return -1;
}

QString choose(const QStringList& serials, const QString& wanted, bool wirelessSwitch)
{
    if (!wanted.isEmpty()) {
        return serials.contains(wanted) ? wanted : QString();
    }
    if (serials.size() == 1) {
        return serials.first();
    }
    return serials.value(findSerial(serials, wirelessSwitch));
}

} // namespace DeviceChoice

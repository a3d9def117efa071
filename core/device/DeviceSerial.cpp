#include "device/DeviceSerial.h"

#include <QRegExp>

namespace dvk {

namespace {

const QString kIpPortPattern =
    "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\:([0-9]|[1-9]\\d|"
    "[1-9]\\d{2}|[1-9]\\d{3}|[1-5]\\d{4}|6[0-4]\\d{3}|65[0-4]\\d{2}|655[0-2]\\d|6553[0-5])\\b";

} // namespace

bool DeviceSerial::isWireless(const QString& serial)
{
    QRegExp ipPort(kIpPortPattern, Qt::CaseSensitive, QRegExp::RegExp);
    return ipPort.exactMatch(serial);
}

QString DeviceSerial::fileBaseName(const QString& serial)
{
    QString name = serial.section(QLatin1Char(':'), 0, 0);
    // A serial is the device's word, not ours: it must not reach another folder.
    static const QString unsafe = QStringLiteral("/\\*?\"<>|");
    for (QChar& c : name) {
        if (unsafe.contains(c) || c.unicode() < 0x20) {
            c = QLatin1Char('_');
        }
    }
    return name;
}

} // namespace dvk

// What adb prints, through the parsers that read serials, addresses and the override size out
// of it. Each result must be something the text really says: a serial from a "serial<TAB>device"
// line, an address of digits and dots right after its marker, a size from the last word of a
// text that names an override size after its start.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QRegularExpression>

#include <cstdlib>

#include "WmSizeOutput.h"
#include "adb/AdbProcessImpl.h"

namespace fuzz {

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "adboutput target: %s\n", what);
        abort();
    }
}

bool digitsAndDots(const QString& text)
{
    static const QRegularExpression re("^[0-9.]*$");
    return re.match(text).hasMatch();
}

// The serial somewhere followed by tabs and "device" (a plain search: the serial may hold anything).
bool namedAsDevice(const QString& text, const QString& serial)
{
    for (int at = text.indexOf(serial); at >= 0; at = text.indexOf(serial, at + 1)) {
        int next = at + serial.size();
        const int tabsFrom = next;
        while (next < text.size() && text.at(next) == '\t') {
            ++next;
        }
        if (next > tabsFrom && text.midRef(next).startsWith(QLatin1String("device"))) {
            return true;
        }
    }
    return false;
}

void checkSerials(const QString& text)
{
    const QStringList serials = dvk::AdbProcessImpl::parseDevicesSerial(text);
    for (const QString& serial : serials) {
        check(!serial.isEmpty() && !serial.contains('\t') && !serial.contains('\n'), "a serial with a separator");
        check(namedAsDevice(text, serial), "a serial that no device line names");
    }
}

void checkAddress(const QString& text, const QString& ip, const QString& marker)
{
    check(digitsAndDots(ip), "an address with other characters than digits and dots");
    if (!ip.isEmpty()) {
        check(text.contains(marker + ip, Qt::CaseInsensitive), "an address not after its marker");
    }
}

void checkOverrideSize(const QString& text)
{
    const QSize size = WmSizeOutput::overrideSize(text);
    if (size == QSize()) {
        return;
    }
    const QString trimmed = text.trimmed();
    check(trimmed.lastIndexOf("Override size:") > 0, "a size without an override line after the start");
    const QString lastWord = trimmed.section(' ', -1);
    check(lastWord.count('x') == 1, "a size from a last word that is not one WxH pair");
    // Digits only: the number may be written with a sign or leading zeros.
    check(lastWord.contains(QString::number(size.width()).remove(QLatin1Char('-'))), "a width the text lacks");
    check(lastWord.contains(QString::number(size.height()).remove(QLatin1Char('-'))), "a height the text lacks");
}

} // namespace

int fuzzAdbOutput(const uint8_t* data, size_t size)
{
    ensureApp();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    checkSerials(text);
    checkAddress(text, dvk::AdbProcessImpl::parseDeviceIP(text), "inet addr:");
    checkAddress(text, dvk::AdbProcessImpl::parseDeviceIPByIp(text), "wlan0    inet ");
    checkOverrideSize(text);
    return 0;
}

} // namespace fuzz

#include "DeviceChoice.h"

#include "device/DeviceSerial.h"

namespace DeviceChoice {

int findSerial(const QStringList& serials, bool wireless)
{
    for (int i = 0; i < serials.size(); ++i) {
        if (dvk::DeviceSerial::isWireless(serials.at(i)) == wireless) {
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

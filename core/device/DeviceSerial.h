#ifndef DEVICESERIAL_H
#define DEVICESERIAL_H

#include <QString>

namespace dvk {

// What a device serial, as adb lists it, tells about the device.
namespace DeviceSerial {

// A wireless serial: four dotted octets 0-255, a colon and a port 0-65535.
bool isWireless(const QString& serial);

// The base of recording, screenshot and log file names: the serial up to its first ':'
// (the host of a wireless serial), made safe to use as a file name.
QString fileBaseName(const QString& serial);

} // namespace DeviceSerial

} // namespace dvk

#endif // DEVICESERIAL_H

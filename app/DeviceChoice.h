#ifndef DEVICECHOICE_H
#define DEVICECHOICE_H

#include <QString>
#include <QStringList>

// Which of the attached devices to connect.
namespace DeviceChoice {

// How often adb is asked for the attached devices while none is connected, with or without a window.
constexpr int kPollIntervalMs = 5000;

// Index of the first serial that is wireless (wireless true) or not (false); -1 when none.
int findSerial(const QStringList& serials, bool wireless);

// The serial to connect among those adb lists as ready: the wanted one when it is listed
// (none while it is not), else the only one, else the first USB device (the first wireless
// one after a wireless switch). Empty when nothing fits.
QString choose(const QStringList& serials, const QString& wanted, bool wirelessSwitch = false);

} // namespace DeviceChoice

#endif // DEVICECHOICE_H

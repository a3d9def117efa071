#pragma once

#include <QJsonObject>
#include <QString>

namespace sim {

// What "dumpsys input" prints on the simulated device: the shape of a phone's
// input manager dump, with the touch screen's SurfaceOrientation (left out when
// the device's dumpsysOrientation setting is false, as on phones that print no
// such line).
class InputDump
{
public:
    static QString text(const QJsonObject& device);
};

} // namespace sim

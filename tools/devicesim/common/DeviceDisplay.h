#pragma once

#include <QJsonObject>
#include <QSize>

namespace sim {

// The simulated device's display as its state describes it, for the shell's
// programs and the recorder alike.
class DeviceDisplay
{
public:
    // The panel: width x height, natural (unturned).
    static QSize physicalSize(const QJsonObject& device);
    // The "wm size" override when set, else the physical size; still unturned.
    static QSize naturalSize(const QJsonObject& device);
    // 0 to 3, quarter turns; 1 and 3 turn a portrait display into landscape.
    static int orientation(const QJsonObject& device);
    // The display as it is turned now: what the recorder, screencap and input see.
    static QSize turnedSize(const QJsonObject& device);
    // "WxH" as a size, or an invalid size.
    static QSize readSize(const QString& text);
};

} // namespace sim

#include "InputDump.h"

#include "DeviceDisplay.h"

#include <QSize>
#include <QStringList>

namespace sim {

namespace {

QStringList touchScreen(const QJsonObject& device)
{
    // The panel reports its own axes; the surface is the display as turned now.
    const QSize natural = DeviceDisplay::physicalSize(device);
    const int turn = DeviceDisplay::orientation(device);
    const QSize surface = DeviceDisplay::turnedSize(device);
    QStringList lines{
        "  Device 4: sim_touchscreen",
        "    Generation: 12",
        "    IsExternal: false",
        "    Sources: 0x00001002",
        "    KeyboardType: 1",
        "    Touch Input Mapper (mode - direct):",
        "      Parameters:",
        "        GestureMode: multi-touch",
        "        DeviceType: touchScreen",
        "        AssociatedDisplay: hasAssociatedDisplay=true, isExternal=false, displayId=''",
        "        OrientationAware: true",
        "      Raw Touch Axes:",
        QString("        X: min=0, max=%1, flat=0, fuzz=0, resolution=0").arg(natural.width() - 1),
        QString("        Y: min=0, max=%1, flat=0, fuzz=0, resolution=0").arg(natural.height() - 1),
        QString("      SurfaceWidth: %1px").arg(surface.width()),
        QString("      SurfaceHeight: %1px").arg(surface.height()),
        "      SurfaceLeft: 0",
        "      SurfaceTop: 0",
    };
    if (device.value("dumpsysOrientation").toBool(true)) {
        lines.append(QString("      SurfaceOrientation: %1").arg(turn));
    }
    lines.append({"      Translation and Scaling Factors:",
                  "        XScale: 1.000",
                  "        YScale: 1.000",
                  "    Last Raw Touch: pointerCount=0"});
    return lines;
}

} // namespace

QString InputDump::text(const QJsonObject& device)
{
    QStringList lines{"INPUT MANAGER (dumpsys input)",
                      "",
                      "Input Manager State:",
                      "  Interactive: true",
                      "  Show Touches: false",
                      "Event Hub State:",
                      "  BuiltInKeyboardId: -2",
                      "Input Reader State:"};
    lines += touchScreen(device);
    lines += QStringList{"Input Dispatcher State:", "  DispatchEnabled: true", "  DispatchFrozen: false"};
    return lines.join('\n');
}

} // namespace sim

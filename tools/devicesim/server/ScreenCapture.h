#pragma once

#include "SimHome.h"

#include <QByteArray>
#include <QJsonObject>
#include <QSize>
#include <QStringList>

namespace sim {

// The device's "screencap": one PNG of the screen as it is now, at the turned
// display's size, on standard output or into a file of the device.
class ScreenCapture
{
public:
    ScreenCapture(const SimHome& home, const QString& device);

    // Runs to the end and returns the exit code.
    int run(const QStringList& args);

    // The screen drawn at the display's size and encoded as PNG; empty on failure.
    static QByteArray png(const QJsonObject& device, QString* error);

private:
    bool parse(const QStringList& args, QString* error);
    bool write(const QByteArray& bytes, QString* error) const;

    SimHome m_home;
    QString m_deviceSerial;
    QString m_output = "-";
    bool m_png = false;
};

} // namespace sim

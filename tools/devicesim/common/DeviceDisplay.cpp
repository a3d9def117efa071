#include "DeviceDisplay.h"

#include <QRegularExpression>

namespace sim {

QSize DeviceDisplay::physicalSize(const QJsonObject& device)
{
    return QSize(device.value("width").toInt(1080), device.value("height").toInt(2340));
}

QSize DeviceDisplay::naturalSize(const QJsonObject& device)
{
    const QSize override = readSize(device.value("wmSize").toString());
    return override.isValid() ? override : physicalSize(device);
}

int DeviceDisplay::orientation(const QJsonObject& device)
{
    return ((device.value("orientation").toInt(0) % 4) + 4) % 4;
}

QSize DeviceDisplay::turnedSize(const QJsonObject& device)
{
    const QSize natural = naturalSize(device);
    return orientation(device) % 2 ? natural.transposed() : natural;
}

QSize DeviceDisplay::readSize(const QString& text)
{
    static const QRegularExpression form("^(\\d+)x(\\d+)$");
    const QRegularExpressionMatch match = form.match(text);
    const QSize size = match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
    return size.width() > 0 && size.height() > 0 ? size : QSize();
}

} // namespace sim

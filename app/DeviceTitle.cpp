#include "DeviceTitle.h"

#include <QWidget>

#include "device/IDeviceManage.h"

namespace {

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

} // namespace

DeviceTitle::DeviceTitle(QWidget* window, const QString& base, bool viewOnly)
    : QObject(window), m_window(window), m_base(base), m_viewOnly(viewOnly)
{
    connect(&registry(), &dvk::IDeviceManage::deviceConnected, this,
            [this](bool success, const QString& serial) { onDeviceConnected(success, serial); });
    connect(&registry(), &dvk::IDeviceManage::deviceDisconnected, this, &DeviceTitle::onDeviceDisconnected);
    show(-1);
}

DeviceTitle::~DeviceTitle()
{
    detach();
}

QString DeviceTitle::text(const QString& base, const QString& serial, int fps, bool viewOnly, bool game)
{
    const QString dash = QString::fromUtf8(" — ");
    QString title = base;
    if (!serial.isEmpty()) {
        title += dash + serial;
    }
    if (!serial.isEmpty() && game) {
        title += dash + tr("game");
    }
    if (!serial.isEmpty() && fps >= 0) {
        title += dash + tr("%1 fps").arg(fps);
    }
    return viewOnly ? title + dash + tr("view only") : title;
}

void DeviceTitle::updateFPS(quint32 fps)
{
    show(int(fps));
}

void DeviceTitle::gameModeChanged(bool on)
{
    m_game = on;
    show(m_fps);
}

void DeviceTitle::onDeviceConnected(bool success, const QString& serial)
{
    if (!success) {
        return;
    }
    // The window shows the device that connected last.
    detach();
    if (QPointer<dvk::IDevice> device = registry().getDevice(serial)) {
        device->registerDeviceObserver(this);
        m_serial = serial;
    }
    show(-1);
}

void DeviceTitle::onDeviceDisconnected(const QString& serial)
{
    if (serial != m_serial) {
        return;
    }
    detach();
    show(-1);
}

void DeviceTitle::detach()
{
    if (QPointer<dvk::IDevice> device = registry().getDevice(m_serial)) {
        device->deRegisterDeviceObserver(this);
    }
    m_serial.clear();
    m_game = false;
}

void DeviceTitle::show(int fps)
{
    m_fps = fps;
    if (m_window) {
        m_window->setWindowTitle(text(m_base, m_serial, fps, m_viewOnly, m_game));
    }
}

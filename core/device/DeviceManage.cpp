#include "device/DeviceManage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "device/Device.h"
#include "group/GroupController.h"
#include "server/Stream.h"

namespace dvk {

DeviceManage::DeviceManage()
{
    Stream::init();
}

DeviceManage::~DeviceManage()
{
    Stream::deInit();
}

bool DeviceManage::connectDevice(DeviceParams params)
{
    if (params.serial.trimmed().isEmpty()) {
        return false;
    }
    if (m_devices.contains(params.serial)) {
        qInfo("connectDevice return connected alerady: %s", qUtf8Printable(params.serial));
        return false;
    }
    if (m_devices.size() > kMaxConnections) {
        qInfo("over the maximum number of connections");
        return false;
    }
    // The group follows the process-wide registry's devices from the first one on.
    if (this == &IDeviceManage::getInstance()) {
        GroupController::instance();
    }

    Device* device = new Device(params);
    connect(device, &IDevice::deviceConnected, this, &DeviceManage::onDeviceConnected);
    connect(device, &IDevice::deviceDisconnected, this, &DeviceManage::onDeviceDisconnected);
    connect(device, &IDevice::deviceNotice, this, &IDeviceManage::deviceNotice);
    if (!device->connectDevice()) {
        delete device;
        return false;
    }
    m_devices[params.serial] = device;
    return true;
}

bool DeviceManage::disconnectDevice(const QString& serial)
{
    if (serial.isEmpty() || !m_devices.contains(serial)) {
        return false;
    }
    QPointer<IDevice> device = m_devices.value(serial);
    if (!device) {
        return false;
    }
    // Its own disconnection reports through onDeviceDisconnected, which removes the entry.
    delete device.data();
    dropDeadEntry(serial);
    return true;
}

void DeviceManage::disconnectAllDevice()
{
    // Each deletion removes its entry from the real table while this walks the snapshot.
    const QMap<QString, QPointer<IDevice>> snapshot = m_devices;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        if (it.value()) {
            delete it.value().data();
            dropDeadEntry(it.key());
        }
    }
}

QPointer<IDevice> DeviceManage::getDevice(const QString& serial)
{
    return m_devices.value(serial);
}

void DeviceManage::onDeviceConnected(bool success, const QString& serial, const QString& deviceName,
                                     const QSize& size)
{
    emit deviceConnected(success, serial, deviceName, size);
    if (success) {
        // Bringing a connection up (handshake, probing the stream, the window's OpenGL) leaves
        // freed memory behind; once its first frames are through, it goes back to the system.
        QTimer::singleShot(kSettleMs, QCoreApplication::instance(), &DeviceManage::releaseFreedMemory);
    }
    if (!success && !serial.isEmpty() && m_devices.contains(serial)) {
        removeDevice(serial);
    }
}

void DeviceManage::onDeviceDisconnected(QString serial)
{
    emit deviceDisconnected(serial);
    if (!serial.isEmpty() && m_devices.contains(serial)) {
        removeDevice(serial);
    }
}

void DeviceManage::dropDeadEntry(const QString& serial)
{
    // A device that had already stopped does not report again when deleted; its entry must
    // not outlive it and refuse the serial for good.
    auto it = m_devices.find(serial);
    if (it != m_devices.end() && !it.value()) {
        m_devices.erase(it);
    }
}

void DeviceManage::removeDevice(const QString& serial)
{
    QPointer<IDevice> device = m_devices.value(serial);
    if (device) {
        // The device is inside its own emission: let it return before it goes.
        QObject::connect(device, &QObject::destroyed, QCoreApplication::instance(), &DeviceManage::releaseFreedMemory,
                         Qt::QueuedConnection);
        device->deleteLater();
    }
    m_devices.remove(serial);
}

void DeviceManage::releaseFreedMemory()
{
#if defined(__GLIBC__)
    // A connection's decoder threads leave their freed buffers in arenas of their own; without
    // handing them back, a window kept open all day grows a little with every reconnection.
    malloc_trim(0);
#endif
}

} // namespace dvk

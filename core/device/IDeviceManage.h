#ifndef IDEVICEMANAGE_H
#define IDEVICEMANAGE_H

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include "device/DeviceParams.h"
#include "device/IDevice.h"

namespace dvk {

// The process-wide owner of every device connection. Everything outside the main window's
// connection flow only looks devices up by serial.
class IDeviceManage : public QObject
{
    Q_OBJECT
public:
    static IDeviceManage& getInstance();

    virtual bool connectDevice(dvk::DeviceParams params) = 0;
    virtual bool disconnectDevice(const QString& serial) = 0;
    virtual void disconnectAllDevice() = 0;
    // Null when the serial is not registered; check before every use.
    virtual QPointer<dvk::IDevice> getDevice(const QString& serial) = 0;

signals:
    void deviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void deviceDisconnected(QString serial);
    void deviceNotice(const QString& serial, dvk::IDevice::Notice notice, const QString& detail);

protected:
    explicit IDeviceManage(QObject* parent = nullptr);
    ~IDeviceManage() override;
};

} // namespace dvk

#endif // IDEVICEMANAGE_H

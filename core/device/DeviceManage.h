#ifndef DEVICEMANAGE_H
#define DEVICEMANAGE_H

#include <QMap>

#include "device/IDeviceManage.h"

namespace dvk {

// Creates, owns and deletes the devices (created without a Qt parent), and funnels their
// connection reports into its own signals.
class DeviceManage : public IDeviceManage
{
    Q_OBJECT
public:
    // Beyond this many entries a connection is refused.
    static constexpr int kMaxConnections = 1000;
    // How long after a connection is made its start-up leftovers are handed back.
    static constexpr int kSettleMs = 3000;

    DeviceManage();
    ~DeviceManage() override;

    bool connectDevice(dvk::DeviceParams params) override;
    bool disconnectDevice(const QString& serial) override;
    void disconnectAllDevice() override;
    QPointer<dvk::IDevice> getDevice(const QString& serial) override;

protected slots:
    void onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void onDeviceDisconnected(QString serial);

private:
    void removeDevice(const QString& serial);
    static void releaseFreedMemory();
    void dropDeadEntry(const QString& serial);

    QMap<QString, QPointer<IDevice>> m_devices;
};

} // namespace dvk

#endif // DEVICEMANAGE_H

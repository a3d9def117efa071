#ifndef DEVICEUNDERTEST_H
#define DEVICEUNDERTEST_H

#include <QSignalSpy>

#include "device/Device.h"
#include "device/DeviceObserver.h"
#include "device/DeviceParams.h"

// One device with an observer and spies on its two reports: how every test that drives a
// single connection starts.
class DeviceUnderTest
{
public:
    explicit DeviceUnderTest(const dvk::DeviceParams& params, dvk::DeviceObserver* observer = nullptr)
        : device(params)
        , connected(&device, &dvk::IDevice::deviceConnected)
        , disconnected(&device, &dvk::IDevice::deviceDisconnected)
    {
        if (observer) {
            device.registerDeviceObserver(observer);
        }
    }

    // Starts the connection and waits for its report; true only when it reports success.
    bool connect(int timeoutMs = 15000)
    {
        return device.connectDevice() && connected.wait(timeoutMs) && connected.first().at(0).toBool();
    }

    dvk::Device device;
    QSignalSpy connected;
    QSignalSpy disconnected;
};

#endif // DEVICEUNDERTEST_H

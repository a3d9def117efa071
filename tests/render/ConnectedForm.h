#ifndef CONNECTEDFORM_H
#define CONNECTEDFORM_H

#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

#include "SimDevice.h"
#include "device/DeviceParams.h"

class VideoForm;

namespace dvk {
class IDevice;
}

// A video form showing a simulated device that the registry connected, wired the way the main
// window wires it: serial set, form registered as the device's observer.
class ConnectedForm
{
public:
    explicit ConnectedForm(const SimDevice::Options& options = SimDevice::Options());
    ~ConnectedForm();

    // Connects, shows the form at the given size and waits for a first picture.
    bool start(const QSize& formSize, QString& why);

    // Control messages the device decoded since the last mark(), waiting for at least count of them.
    void mark();
    QList<QJsonObject> messagesSinceMark(int count, int timeoutMs = 5000);
    // Sends a marker through the device and returns every message before it, so that a test can
    // tell that nothing else arrived.
    QList<QJsonObject> messagesUntilMarker();

    SimDevice sim;
    // What start() connects with; a test may change it first.
    dvk::DeviceParams params;
    std::unique_ptr<VideoForm> form;
    QPointer<dvk::IDevice> device;

private:
    int m_mark = 0;
};

// Makes the test process use private configuration and data folders and the simulated adb.
void prepareFormTests();

#endif // CONNECTEDFORM_H

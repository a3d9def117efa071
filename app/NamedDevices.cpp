#include "NamedDevices.h"

#include "ConnectionParams.h"
#include "DeviceChoice.h"
#include "DeviceWindow.h"
#include "device/IDeviceManage.h"

NamedDevices::NamedDevices(const QStringList& serials, const LaunchOptions& options, QObject* parent)
    : QObject(parent), m_missing(serials), m_options(options)
{
    m_missing.removeDuplicates();
    connect(&dvk::IDeviceManage::getInstance(), &dvk::IDeviceManage::deviceConnected, this,
            [this](bool success, const QString& serial) { onDeviceConnected(success, serial); });
    connect(&m_timer, &QTimer::timeout, this, &NamedDevices::poll);
    if (m_missing.isEmpty()) {
        return;
    }
    m_timer.start(DeviceChoice::kPollIntervalMs);
    poll();
}

// A tick that finds the last listing unanswered waits for it.
void NamedDevices::poll()
{
    if (m_listing || m_missing.isEmpty()) {
        return;
    }
    m_listing = dvk::AdbProcess::selfDeleting(this, &NamedDevices::onListed);
    m_listing->listDevices();
}

void NamedDevices::onListed(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    m_listing = nullptr;
    // The runner has logged why; the next tick asks again.
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        return;
    }
    const QStringList listed = runner->getDevicesSerialFromStdOut();
    for (const QString& serial : m_missing) {
        // One still connecting is refused by the registry, so it is connected once.
        if (listed.contains(serial)) {
            dvk::IDeviceManage::getInstance().connectDevice(
                connectionParams(serial, DeviceWindow::getServerPath(), m_options));
        }
    }
}

void NamedDevices::onDeviceConnected(bool success, const QString& serial)
{
    if (!success || !m_missing.removeOne(serial) || !m_missing.isEmpty()) {
        return;
    }
    m_timer.stop();
    qInfo("every device named on the command line has connected");
}

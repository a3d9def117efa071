#include "Reconnection.h"

#include "device/IDeviceManage.h"

Reconnection::Reconnection(QObject* parent) : QObject(parent) {}

bool Reconnection::start(const QString& serial)
{
    if (isRunning() || serial.isEmpty()) {
        return false;
    }
    m_serial = serial;
    dvk::AdbProcess::selfDeleting(this, &Reconnection::onAdbDisconnected)->disconnectWireless(serial);
    return true;
}

void Reconnection::onAdbDisconnected(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    const QString serial = m_serial;
    m_serial.clear();
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        qInfo("%s", qUtf8Printable(QStringLiteral("reconnect: no wireless connection of %1 ended (%2)")
                                       .arg(serial, runner->failureText(result))));
    }
    if (!dvk::IDeviceManage::getInstance().disconnectDevice(serial)) {
        qInfo("%s", qUtf8Printable(QStringLiteral("reconnect: %1 had already left").arg(serial)));
    }
    emit readyToConnect(serial);
}

#include "WirelessSwitch.h"

#include <QTimer>

#include "ConnectionDefaults.h"

WirelessSwitch::WirelessSwitch(QObject* parent) : QObject(parent) {}

bool WirelessSwitch::start(const QString& serial)
{
    if (m_running || serial.isEmpty()) {
        return false;
    }
    m_running = true;
    m_serial = serial;
    m_host.clear();
    dvk::AdbProcess::selfDeleting(this, &WirelessSwitch::onAddress)->queryWirelessAddress(m_serial);
    return true;
}

void WirelessSwitch::onAddress(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        fail(QStringLiteral("could not read the wireless address of %1: %2").arg(m_serial, runner->failureText(result)));
        return;
    }
    m_host = runner->getDeviceIPFromStdOut();
    if (m_host.isEmpty()) {
        fail(QStringLiteral("%1 has no wireless address; is it on a wireless network?").arg(m_serial));
        return;
    }
    enableWireless();
}

void WirelessSwitch::enableWireless()
{
    dvk::AdbProcess::selfDeleting(this, &WirelessSwitch::onEnabled)->enableWireless(m_serial);
}

void WirelessSwitch::onEnabled(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        fail(QStringLiteral("%1 did not switch to wireless adb: %2").arg(m_serial, runner->failureText(result)));
        return;
    }
    QTimer::singleShot(kDaemonRestartMs, this, &WirelessSwitch::connectWireless);
}

void WirelessSwitch::connectWireless()
{
    dvk::AdbProcess::selfDeleting(this, &WirelessSwitch::onConnected)
        ->connectWireless(QStringLiteral("%1:%2").arg(m_host).arg(dvk::defaults::kWirelessPort));
}

void WirelessSwitch::onConnected(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        fail(QStringLiteral("could not connect to %1 over the network: %2").arg(m_host, runner->failureText(result)));
        return;
    }
    QTimer::singleShot(kConnectSettleMs, this, &WirelessSwitch::succeed);
}

void WirelessSwitch::succeed()
{
    m_running = false;
    emit switched(QStringLiteral("%1:%2").arg(m_host).arg(dvk::defaults::kWirelessPort));
}

void WirelessSwitch::fail(const QString& why)
{
    m_running = false;
    qWarning("%s", qUtf8Printable(QStringLiteral("wireless switch: %1").arg(why)));
    emit failed(why);
}

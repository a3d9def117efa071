#include "WirelessStart.h"

#include "ConnectionDefaults.h"
#include "DeviceChoice.h"

WirelessStart::WirelessStart(const QString& usbSerial, const QString& address, QObject* parent)
    : QObject(parent), m_usbSerial(usbSerial), m_address(address)
{
    // As often as the window looks for devices, while no USB device is attached.
    m_pollTimer.setInterval(DeviceChoice::kPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &WirelessStart::findUsbDevice);
    connect(&m_adb, &dvk::AdbProcess::adbProcessResult, this, &WirelessStart::onAdbResult);
}

void WirelessStart::start()
{
    if (!m_address.isEmpty()) {
        connectAddress();
        return;
    }
    m_pollTimer.start();
    findUsbDevice();
}

dvk::AdbProcess& WirelessStart::runStep(Step step)
{
    m_step = step;
    return m_adb;
}

void WirelessStart::onAdbResult(dvk::AdbProcess::ADB_EXEC_RESULT result)
{
    if (result == dvk::AdbProcess::ADB_STARTED) {
        return;
    }
    if (result == dvk::AdbProcess::ADB_NOT_FOUND) {
        fail(tr("adb was not found; install it or set its path in the settings"));
        return;
    }
    const bool ok = result == dvk::AdbProcess::ADB_EXIT_OK;
    const Step step = m_step;
    m_step = STEP_IDLE;
    switch (step) {
    case STEP_FIND_USB:
        // A failing "adb devices" is asked again at the next poll, as the window does.
        if (ok) {
            onDevices();
        }
        return;
    case STEP_READ_ADDRESS:
        if (!ok) {
            fail(tr("%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) failed: %2")
                     .arg(m_usbSerial, adbSaid()));
            return;
        }
        onAddress();
        return;
    case STEP_SWITCH:
        if (!ok) {
            fail(tr("%1 could not be switched to Wi-Fi: restarting adb on it in wireless mode (adb tcpip %2) failed: %3")
                     .arg(m_usbSerial)
                     .arg(dvk::defaults::kWirelessPort)
                     .arg(adbSaid()));
            return;
        }
        onSwitched();
        return;
    case STEP_CONNECT:
        onConnected(ok);
        return;
    case STEP_IDLE:
        return;
    }
}

void WirelessStart::findUsbDevice()
{
    if (m_step == STEP_IDLE && !m_adb.isRuning()) {
        runStep(STEP_FIND_USB).listDevices();
    }
}

void WirelessStart::onDevices()
{
    const QStringList serials = m_adb.getDevicesSerialFromStdOut();
    const int usb = m_usbSerial.isEmpty() ? DeviceChoice::findSerial(serials, false) : serials.indexOf(m_usbSerial);
    if (usb < 0 && !m_waitTold) {
        m_waitTold = true;
        emit progress(tr("Waiting for a USB device to switch to Wi-Fi"));
    }
    if (usb < 0) {
        return;
    }
    m_pollTimer.stop();
    m_usbSerial = serials.at(usb);
    emit progress(tr("Switching %1 to Wi-Fi").arg(m_usbSerial));
    runStep(STEP_READ_ADDRESS).queryWirelessAddress(m_usbSerial);
}

void WirelessStart::onAddress()
{
    const QString ip = m_adb.getDeviceIPFromStdOut();
    if (ip.isEmpty()) {
        fail(tr("%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) found none; is its Wi-Fi on?")
                 .arg(m_usbSerial));
        return;
    }
    m_address = ip + ':' + QString::number(dvk::defaults::kWirelessPort);
    runStep(STEP_SWITCH).enableWireless(m_usbSerial);
}

void WirelessStart::onSwitched()
{
    m_switched = true;
    connectAddress();
}

void WirelessStart::connectAddress()
{
    ++m_connectAttempts;
    runStep(STEP_CONNECT).connectWireless(m_address);
}

// adb connect may exit with 0 and say on its output that it failed.
void WirelessStart::onConnected(bool exitOk)
{
    const QString said = m_adb.getStdOut();
    if (exitOk && said.contains(QStringLiteral("connected to"))) {
        emit progress(tr("Connected to %1").arg(m_address));
        emit ready(m_address);
        return;
    }
    if (m_switched && m_connectAttempts < kConnectAttempts) {
        QTimer::singleShot(kConnectRetryMs, this, &WirelessStart::connectAddress);
        return;
    }
    fail(tr("connecting to %1 (adb connect %1) failed: %2").arg(m_address, adbSaid()));
}

QString WirelessStart::adbSaid()
{
    const QString said = (m_adb.getErrorOut().trimmed() + '\n' + m_adb.getStdOut().trimmed()).trimmed();
    // One line: the first one adb wrote.
    return said.isEmpty() ? tr("no output") : said.section('\n', 0, 0);
}

void WirelessStart::fail(const QString& why)
{
    m_pollTimer.stop();
    m_step = STEP_IDLE;
    qWarning("%s", qUtf8Printable(why));
    emit failed(why);
}

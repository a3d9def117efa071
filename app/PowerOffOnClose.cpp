#include "PowerOffOnClose.h"

#include <QCloseEvent>
#include <QTimer>
#include <QWidget>

#include "adb/AdbProcess.h"
#include "controller/AndroidEnums.h"
#include "device/IDeviceManage.h"
#include "shell/ShellCommands.h"

namespace {

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

} // namespace

PowerOffOnClose::PowerOffOnClose(QWidget* window) : QObject(window), m_window(window)
{
    window->installEventFilter(this);
    connect(&registry(), &dvk::IDeviceManage::deviceConnected, this,
            [this](bool success, const QString& serial) { onDeviceConnected(success, serial); });
    connect(&registry(), &dvk::IDeviceManage::deviceDisconnected, this, &PowerOffOnClose::onDeviceDisconnected);
}

void PowerOffOnClose::onDeviceConnected(bool success, const QString& serial)
{
    // The window shows the device that connected last.
    if (success) {
        m_serial = serial;
    }
}

void PowerOffOnClose::onDeviceDisconnected(const QString& serial)
{
    if (serial == m_serial) {
        m_serial.clear();
    }
}

bool PowerOffOnClose::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || event->type() != QEvent::Close || m_closing || m_serial.isEmpty()) {
        return QObject::eventFilter(watched, event);
    }
    // The window stays until the device has the key; then it is closed again, for good.
    event->ignore();
    if (!m_keySent) {
        sendSleepKey();
    }
    return true;
}

// The sleep key rather than the power key: pressed on a screen that is already off, the power
// key would turn it on.
void PowerOffOnClose::sendSleepKey()
{
    m_keySent = true;
    const QString serial = m_serial;
    QPointer<PowerOffOnClose> self(this);
    dvk::AdbProcess* adb = dvk::AdbProcess::selfDeleting([self, serial](dvk::AdbProcess::ADB_EXEC_RESULT result) {
        if (result != dvk::AdbProcess::ADB_EXIT_OK) {
            qWarning("%s", qUtf8Printable(QStringLiteral("could not turn the screen of %1 off").arg(serial)));
        }
        if (self) {
            self->closeWindow();
        }
    });
    adb->execute(serial, QStringList{"shell"} + dvk::ShellCommands::keyEvent(dvk::AKEYCODE_SLEEP, false).split(' '));
    QTimer::singleShot(kMaxWaitMs, this, &PowerOffOnClose::closeWindow);
}

void PowerOffOnClose::closeWindow()
{
    if (m_closing) {
        return;
    }
    m_closing = true;
    if (m_window) {
        m_window->close();
    }
}

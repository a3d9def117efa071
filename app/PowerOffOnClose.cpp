#include "PowerOffOnClose.h"

#include <QCloseEvent>
#include <QTimer>

#include "DeviceWindow.h"

#include "adb/AdbProcess.h"
#include "controller/AndroidEnums.h"
#include "shell/ShellCommands.h"

PowerOffOnClose::PowerOffOnClose(DeviceWindow* window) : QObject(window), m_window(window)
{
    window->installEventFilter(this);
}

bool PowerOffOnClose::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: while the window is being destroyed its filter still sees events, and the
    // guard must not be read as a DeviceWindow then.
    if (event->type() != QEvent::Close || watched != m_window || m_closing || m_window->serial().isEmpty()) {
        return QObject::eventFilter(watched, event);
    }
    // The window stays until the device has the key; then it is closed again, for good.
    event->ignore();
    if (!m_keySent) {
        sendSleepKey(m_window->serial());
    }
    return true;
}

// The sleep key rather than the power key: pressed on a screen that is already off, the power
// key would turn it on.
void PowerOffOnClose::sendSleepKey(const QString& serial)
{
    m_keySent = true;
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

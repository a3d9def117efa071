#include "DeviceWindows.h"

#include <QEvent>

#include "DeviceWindow.h"
#include "MainWindow.h"
#include "WindowPlacement.h"
#include "device/IDeviceManage.h"

namespace {

// How far each new window sits from the one opened before it.
const int kCascade = 24;

} // namespace

DeviceWindows::DeviceWindows(MainWindow* mainWindow, const LaunchOptions& options, QObject* parent)
    : QObject(parent), m_main(mainWindow), m_options(options.forOtherWindow())
{
    connect(&dvk::IDeviceManage::getInstance(), &dvk::IDeviceManage::deviceConnected, this,
            &DeviceWindows::onDeviceConnected);
    // A window that defers its close would otherwise stop the program's end (see m_closingAll).
    if (m_options.powerOffOnClose && m_main) {
        m_main->installEventFilter(this);
    }
}

DeviceWindows::~DeviceWindows()
{
    for (const QPointer<DeviceWindow>& window : m_windows) {
        delete window.data();
    }
}

DeviceWindow* DeviceWindows::windowOf(const QString& serial) const
{
    return m_windows.value(serial);
}

int DeviceWindows::count() const
{
    int open = 0;
    for (const QPointer<DeviceWindow>& window : m_windows) {
        open += window ? 1 : 0;
    }
    return open;
}

void DeviceWindows::onDeviceConnected(bool success, const QString& serial, const QString& deviceName,
                                      const QSize& size)
{
    Q_UNUSED(size)
    if (!success || m_closingAll || DeviceWindow::showing(serial) || (m_main && m_main->takes(serial))) {
        return;
    }
    auto* window = new DeviceWindow(m_options);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main window ends the program, whatever other windows are open.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    WindowPlacement::apply(window, m_options);
    place(window);
    m_windows.insert(serial, window);
    // Queued: while destroyed() is emitted the guard still holds the half-destroyed window.
    connect(window, &QObject::destroyed, this, [this, serial]() { forget(serial); }, Qt::QueuedConnection);
    window->show();
    window->showDevice(serial, deviceName);
    qInfo("%s", qUtf8Printable(QStringLiteral("%1 mirrored in a window of its own").arg(serial)));
}

void DeviceWindows::forget(const QString& serial)
{
    // A window closed a moment ago may have been followed by a new one for the same device.
    if (!m_windows.value(serial)) {
        m_windows.remove(serial);
    }
    // The flag stays: no device gets a new window while the program ends.
    if (m_closingAll && count() == 0 && m_main) {
        m_main->close();
    }
}

bool DeviceWindows::eventFilter(QObject* watched, QEvent* event)
{
    // Installed on the main window alone.
    if (event->type() != QEvent::Close || count() == 0) {
        return QObject::eventFilter(watched, event);
    }
    event->ignore();
    m_closingAll = true;
    const auto windows = m_windows;
    for (const QPointer<DeviceWindow>& window : windows) {
        if (window) {
            window->close();
        }
    }
    return true;
}

// Beside the main window, each further one a step down and to the right; the first picture
// fits it to the screen.
void DeviceWindows::place(DeviceWindow* window) const
{
    if (!m_main) {
        return;
    }
    const int step = kCascade * count();
    window->move(m_main->frameGeometry().right() + 1 + step, m_main->frameGeometry().top() + step);
}

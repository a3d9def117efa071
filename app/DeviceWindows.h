#ifndef DEVICEWINDOWS_H
#define DEVICEWINDOWS_H

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include "LaunchOptions.h"

class DeviceWindow;
class MainWindow;

// The windows of the devices beyond the main window's: a device that connects and that the
// main window does not take gets a window of its own. Closing that window disconnects its device;
// the device leaving closes the window. Whoever connects a device through the registry, the
// windows follow. When each window turns its device's screen off on close, closing the main
// window closes the others first, so that every device gets its key before the program ends.
class DeviceWindows : public QObject
{
    Q_OBJECT
public:
    DeviceWindows(MainWindow* mainWindow, const LaunchOptions& options, QObject* parent = nullptr);
    // Closes the windows still open; their devices go with the main window.
    ~DeviceWindows() override;

    // The window of the serial's device; null when it has none of its own.
    DeviceWindow* windowOf(const QString& serial) const;
    int count() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void place(DeviceWindow* window) const;
    void forget(const QString& serial);

    QPointer<MainWindow> m_main;
    // The command line's options as they apply to a device beyond the main window's.
    LaunchOptions m_options;
    QMap<QString, QPointer<DeviceWindow>> m_windows;
    // The main window was closed while others were open: they close first, then it. Qt's own
    // quit would stop at the first window that defers its close, and leave the program running
    // with no window.
    bool m_closingAll = false;
};

#endif // DEVICEWINDOWS_H

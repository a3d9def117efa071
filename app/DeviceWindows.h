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
// windows follow.
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

private:
    void onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void place(DeviceWindow* window) const;

    QPointer<MainWindow> m_main;
    // The command line's options as they apply to a device beyond the main window's.
    LaunchOptions m_options;
    QMap<QString, QPointer<DeviceWindow>> m_windows;
};

#endif // DEVICEWINDOWS_H

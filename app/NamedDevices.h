#ifndef NAMEDDEVICES_H
#define NAMEDDEVICES_H

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include "LaunchOptions.h"
#include "adb/AdbProcess.h"

// Connects the devices named on the command line beyond the first (which the main window waits
// for) as soon as adb lists them. While any is missing, adb is asked every few seconds, one
// listing at a time. A device is waited for until it has connected once; after that, its window
// is the user's to close.
class NamedDevices : public QObject
{
    Q_OBJECT
public:
    NamedDevices(const QStringList& serials, const LaunchOptions& options, QObject* parent = nullptr);

    // The named devices that have not connected yet.
    QStringList missing() const { return m_missing; }

private:
    void poll();
    void onListed(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void onDeviceConnected(bool success, const QString& serial);

    QStringList m_missing;
    const LaunchOptions m_options;
    QTimer m_timer;
    QPointer<dvk::AdbProcess> m_listing;
};

#endif // NAMEDDEVICES_H

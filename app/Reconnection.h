#ifndef RECONNECTION_H
#define RECONNECTION_H

#include <QObject>
#include <QString>

#include "adb/AdbProcess.h"

// Takes the shown device down so that it can be connected afresh: first its wireless adb
// connection is ended, then, once adb has answered, its connection leaves the registry. A USB
// device has no wireless connection and adb says so; that failure is reported once and the
// reconnection goes on.
class Reconnection : public QObject
{
    Q_OBJECT
public:
    explicit Reconnection(QObject* parent = nullptr);

    // False, and nothing done, while a reconnection is under way.
    bool start(const QString& serial);
    bool isRunning() const { return !m_serial.isEmpty(); }

signals:
    // The device is disconnected; connecting what adb lists brings it back.
    void readyToConnect(const QString& serial);

private:
    void onAdbDisconnected(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);

    QString m_serial;
};

#endif // RECONNECTION_H

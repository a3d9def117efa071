#ifndef HEADLESSRECORDING_H
#define HEADLESSRECORDING_H

#include <QCoreApplication>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include "LaunchOptions.h"
#include "adb/AdbProcess.h"

// A recording without a window: waits for the device, records its stream until the device
// disconnects or stop() is called, then checks that the file can be played.
class HeadlessRecording : public QObject
{
    Q_OBJECT
public:
    HeadlessRecording(const LaunchOptions& options, const QString& serverFile, QObject* parent = nullptr);

    void start();
    // Ends the recording now; the file is finalised before finished() is emitted.
    void stop();

signals:
    // 0 when a playable file was written; otherwise why not is on standard error.
    void finished(int exitCode);

private:
    void poll();
    void onAdbResult(dvk::AdbProcess::ADB_EXEC_RESULT result);
    void onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void onDeviceDisconnected(const QString& serial);
    void finishWithFile();
    void fail(const QString& why);
    void finish(int exitCode);

    LaunchOptions m_options;
    QString m_serverFile;
    dvk::AdbProcess m_adb;
    QTimer m_pollTimer;
    // The device being recorded, once chosen.
    QString m_serial;
    bool m_finished = false;
};

#endif // HEADLESSRECORDING_H

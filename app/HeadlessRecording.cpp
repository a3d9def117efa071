#include "HeadlessRecording.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "ConnectionParams.h"
#include "DeviceChoice.h"
#include "RecordingProbe.h"
#include "device/IDeviceManage.h"

namespace {

void printLine(FILE* stream, const QString& text)
{
    std::fputs(qPrintable(QCoreApplication::applicationName().toLower() + ": " + text + "\n"), stream);
    std::fflush(stream);
}

} // namespace

HeadlessRecording::HeadlessRecording(const LaunchOptions& options, const QString& serverFile, QObject* parent)
    : QObject(parent), m_options(options), m_serverFile(serverFile)
{
    m_pollTimer.setInterval(DeviceChoice::kPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &HeadlessRecording::poll);
    connect(&m_adb, &dvk::AdbProcess::adbProcessResult, this, &HeadlessRecording::onAdbResult);
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    connect(&registry, &dvk::IDeviceManage::deviceConnected, this, &HeadlessRecording::onDeviceConnected);
    connect(&registry, &dvk::IDeviceManage::deviceDisconnected, this, &HeadlessRecording::onDeviceDisconnected);
}

void HeadlessRecording::start()
{
    // Better to say so now than after a session that could not be kept.
    const QFileInfo file(m_options.recordFile);
    if (!QDir().mkpath(file.absolutePath()) || !QFileInfo(file.absolutePath()).isWritable()) {
        fail(tr("cannot write %1: its folder cannot be created or written to").arg(m_options.recordFile));
        return;
    }
    m_pollTimer.start();
    poll();
}

void HeadlessRecording::stop()
{
    if (m_finished) {
        return;
    }
    m_pollTimer.stop();
    if (m_serial.isEmpty()) {
        fail(tr("stopped before a device was connected; nothing was recorded"));
        return;
    }
    // Deleting the device drains the recorder and writes the trailer before it reports back.
    if (!dvk::IDeviceManage::getInstance().disconnectDevice(m_serial)) {
        finishWithFile();
    }
}

void HeadlessRecording::poll()
{
    if (m_serial.isEmpty() && !m_adb.isRuning()) {
        m_adb.listDevices();
    }
}

void HeadlessRecording::onAdbResult(dvk::AdbProcess::ADB_EXEC_RESULT result)
{
    if (result == dvk::AdbProcess::ADB_NOT_FOUND) {
        fail(tr("adb was not found; install it or set its path in the settings"));
        return;
    }
    if (result != dvk::AdbProcess::ADB_EXIT_OK || !m_serial.isEmpty() || m_finished) {
        return;
    }
    const QString serial = DeviceChoice::choose(m_adb.getDevicesSerialFromStdOut(), m_options.serial);
    if (serial.isEmpty()) {
        return;
    }
    m_serial = serial;
    m_pollTimer.stop();
    if (!dvk::IDeviceManage::getInstance().connectDevice(connectionParams(serial, m_serverFile, m_options))) {
        fail(tr("could not connect %1").arg(serial));
    }
}

void HeadlessRecording::onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size)
{
    if (serial != m_serial || m_finished) {
        return;
    }
    if (!success) {
        fail(tr("mirroring of %1 could not start; the log names the step that failed").arg(serial));
        return;
    }
    std::fputs(qPrintable(tr("Recording %1 (%2, %3x%4) to %5; Ctrl+C ends the recording.")
                              .arg(serial, deviceName)
                              .arg(size.width())
                              .arg(size.height())
                              .arg(m_options.recordFile)
                          + "\n"),
               stdout);
    std::fflush(stdout);
}

void HeadlessRecording::onDeviceDisconnected(const QString& serial)
{
    if (serial == m_serial) {
        finishWithFile();
    }
}

void HeadlessRecording::finishWithFile()
{
    if (m_finished) {
        return;
    }
    const QString problem = RecordingProbe::problem(m_options.recordFile);
    if (!problem.isEmpty()) {
        fail(tr("%1 is not a playable recording: %2").arg(m_options.recordFile, problem));
        return;
    }
    qInfo("Recording finished: %s", qUtf8Printable(m_options.recordFile));
    finish(0);
}

void HeadlessRecording::fail(const QString& why)
{
    if (m_finished) {
        return;
    }
    qWarning("%s", qUtf8Printable(why));
    printLine(stderr, why);
    finish(1);
}

void HeadlessRecording::finish(int exitCode)
{
    m_finished = true;
    m_pollTimer.stop();
    emit finished(exitCode);
}

#pragma once

#include "RecordOptions.h"
#include "SimHome.h"
#include "ScreenPicture.h"
#include "VideoEncoder.h"

#include <QElapsedTimer>
#include <QJsonObject>

namespace sim {

// The device's own screen recorder: the test picture as a raw H.264 stream
// (parameter sets, then one access unit per picture, each in one write) on
// standard output or into a file of the device, until its time limit, a fault,
// a signal or a reader that went away ends it. A still screen gives no
// pictures until the device receives an input command.
class ScreenRecorder
{
public:
    ScreenRecorder(const SimHome& home, const QString& device);
    ~ScreenRecorder();
    ScreenRecorder(const ScreenRecorder&) = delete;
    ScreenRecorder& operator=(const ScreenRecorder&) = delete;

    // Runs to the end and returns the exit code.
    int run(const QStringList& args);

private:
    int start(const QStringList& args);
    int record();
    bool ended(qint64 limitUs, int& code);
    bool readerGone() const;
    bool openOutput(QString* error);
    bool encodeFrame(bool* writeFailed);
    bool writeAll(const QByteArray& bytes);
    bool refreshDevice();
    void sleepUntil(qint64 dueUs) const;
    int fail(const QString& text, int code);
    int finish(int code, const QString& reason, const QString& error = QString());
    void logKilledInvocation() const;
    QJsonValue fault(const QString& name) const;

    SimHome m_home;
    QString m_deviceSerial;
    QJsonObject m_device;
    RecordOptions m_options;
    QSize m_size;
    int m_fps = 30;
    int m_fd = -1;
    VideoEncoder m_encoder;
    ScreenPicture m_picture;
    bool m_still = false;  // no picture written yet on a still screen
    int m_inputBaseline = 0;
    QElapsedTimer m_clock;
    quint32 m_frames = 0;
    quint64 m_ticks = 0;
};

} // namespace sim

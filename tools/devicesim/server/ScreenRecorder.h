#pragma once

#include "RecordOptions.h"
#include "SimHome.h"
#include "TestPattern.h"
#include "VideoEncoder.h"

#include <QElapsedTimer>
#include <QJsonObject>

namespace sim {

// The device's own screen recorder: the test picture as a raw H.264 stream
// (parameter sets, then one access unit per picture, each in one write) on
// standard output or into a file of the device, until its time limit, a fault,
// a signal or a reader that went away ends it.
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
    TestPattern m_pattern;
    QElapsedTimer m_clock;
    quint32 m_frames = 0;
};

} // namespace sim

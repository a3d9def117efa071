#include "ScreenRecorder.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "DeviceDisplay.h"

namespace sim {

namespace {

// Re-reading the device's state (touch marker, orientation, input on a still
// screen) every few picture times keeps the recorder cheap.
constexpr quint32 kRefreshEvery = 4;

volatile sig_atomic_t s_stopSignal = 0;

void onStopSignal(int sig)
{
    s_stopSignal = sig;
}

// No SA_RESTART: a signal interrupts a blocked write or sleep so that the
// recorder can log its end. A reader that went away is a write error.
void installSignals()
{
    signal(SIGPIPE, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &action, nullptr);
    }
}

QString sizeText(const QSize& size)
{
    return QString("%1x%2").arg(size.width()).arg(size.height());
}

} // namespace

ScreenRecorder::ScreenRecorder(const SimHome& home, const QString& device) : m_home(home), m_deviceSerial(device) {}

ScreenRecorder::~ScreenRecorder()
{
    if (m_fd > STDOUT_FILENO) {
        ::close(m_fd);
    }
}

QJsonValue ScreenRecorder::fault(const QString& name) const
{
    return m_device.value("faults").toObject().value(name);
}

int ScreenRecorder::run(const QStringList& args)
{
    installSignals();
    av_log_set_level(AV_LOG_QUIET);
    if (!m_home.readDevice(m_deviceSerial, m_device)) {
        fprintf(stderr, "ERROR: no device state for %s\n", m_deviceSerial.toUtf8().constData());
        return 1;
    }
    m_home.registerProcess(QCoreApplication::applicationPid(), "screenrecord");
    const int code = start(args);
    m_home.unregisterProcess(QCoreApplication::applicationPid());
    return code;
}

int ScreenRecorder::start(const QStringList& args)
{
    QString error;
    if (!RecordOptions::parse(args, m_options, &error)) {
        return fail(error, 2);
    }
    m_size = RecordOptions::pictureSize(m_device, m_options.size);
    m_fps = std::clamp(m_device.value("recordFps").toInt(30), 1, 240);
    m_still = m_device.value("stillScreen").toBool();
    m_inputBaseline = m_device.value("inputCount").toInt();
    m_picture.follow(m_device);
    appendJsonLine(m_home.eventLogPath(m_deviceSerial),
                   QJsonObject{{"event", "screenrecord"},
                               {"args", QJsonArray::fromStringList(args)},
                               {"size", sizeText(m_size)},
                               {"bitRate", double(m_options.bitRate)},
                               {"timeLimit", m_options.timeLimit},
                               {"fps", m_fps},
                               {"orientation", DeviceDisplay::orientation(m_device)},
                               {"still", m_still},
                               {"pid", QCoreApplication::applicationPid()},
                               {"t", nowMs()}});
    const QJsonValue recordError = fault("recordError");
    if (!recordError.isUndefined()) {
        return fail(recordError.toString(), 1);
    }
    // The encoder takes even sides; a device may insist on more (recordSizeAlign).
    const int align = std::max(2, m_device.value("recordSizeAlign").toInt(2));
    if (m_size.width() % align || m_size.height() % align ||
        !m_encoder.open(m_size, m_fps, m_options.bitRate, QString(), QString(), &error)) {
        return fail(QString("ERROR: unable to configure video/avc codec at %1 (err=-38)").arg(sizeText(m_size)), 1);
    }
    if (!openOutput(&error)) {
        return fail(error, 1);
    }
    return record();
}

bool ScreenRecorder::openOutput(QString* error)
{
    if (m_options.output == "-") {
        m_fd = STDOUT_FILENO;
        return true;
    }
    const QString host = m_home.hostPathFor(m_deviceSerial, m_options.output);
    m_fd = host.isEmpty() ? -1 : ::open(host.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (m_fd < 0) {
        *error = QString("Unable to open '%1': No such file or directory").arg(m_options.output);
        return false;
    }
    return true;
}

int ScreenRecorder::record()
{
    m_clock.start();
    if (!writeAll(m_encoder.configuration()) && !s_stopSignal) {
        return finish(1, "closed");
    }
    const qint64 limitUs = qint64(m_options.timeLimit) * 1000000;
    for (;; ++m_ticks) {
        int code = 0;
        if (ended(limitUs, code)) {
            return code;
        }
        if (m_still && readerGone()) {
            return finish(1, "closed");
        }
        if (!m_still) {
            bool writeFailed = false;
            if (!encodeFrame(&writeFailed)) {
                if (s_stopSignal) {
                    continue;
                }
                return finish(1, writeFailed ? "closed" : "error");
            }
            ++m_frames;
        }
        sleepUntil(std::min(limitUs, qint64(m_ticks + 1) * 1000000 / m_fps));
    }
}

// The checks made before each picture time: a signal, the time limit, the
// frame fault and, every few picture times, the device's state.
bool ScreenRecorder::ended(qint64 limitUs, int& code)
{
    const QJsonValue frameLimit = fault("recordFrames");
    if (s_stopSignal) {
        logKilledInvocation();
        code = finish(128 + s_stopSignal, "killed");
    } else if (m_clock.nsecsElapsed() / 1000 >= limitUs) {
        code = finish(0, "time-limit");
    } else if (!frameLimit.isUndefined() && m_frames >= static_cast<quint32>(frameLimit.toInt())) {
        code = finish(0, "frames");
    } else if (m_ticks % kRefreshEvery == 0 && !refreshDevice()) {
        fprintf(stderr, "ERROR: the device was disconnected\n");
        code = finish(1, "unplugged");
    } else {
        return false;
    }
    return true;
}

// Nothing is written while the screen is still, so a reader that went away is
// looked for instead of being found by a failed write.
bool ScreenRecorder::readerGone() const
{
    struct pollfd out = {m_fd, POLLOUT, 0};
    return poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

bool ScreenRecorder::encodeFrame(bool* writeFailed)
{
    if (!m_picture.draw(m_encoder.picture(), m_frames)) {
        fprintf(stderr, "ERROR: out of memory for the picture\n");
        return false;
    }
    QList<VideoEncoder::Packet> packets;
    QString error;
    if (!m_encoder.encode(m_clock.nsecsElapsed() / 1000, packets, &error)) {
        fprintf(stderr, "ERROR: %s\n", error.toUtf8().constData());
        return false;
    }
    for (const VideoEncoder::Packet& packet : packets) {
        if (!writeAll(packet.data)) {
            *writeFailed = true;
            return false;
        }
    }
    return true;
}

// One write per buffer, as the recorder hands each encoder buffer over whole;
// a pipe may still take it in parts.
bool ScreenRecorder::writeAll(const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR && !s_stopSignal) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return true;
}

// Follows the last touch written by "input", the orientation and the input
// that wakes a still screen, and notices an unplugged device.
bool ScreenRecorder::refreshDevice()
{
    QJsonObject device;
    if (!m_home.readDevice(m_deviceSerial, device) || device.value("state").toString("device") != "device") {
        return false;
    }
    m_device = device;
    // A still screen stays still until an input command reaches the device (or
    // the setting is dropped); after that pictures come as usual.
    if (m_still && (!device.value("stillScreen").toBool() || device.value("inputCount").toInt() != m_inputBaseline)) {
        m_still = false;
    }
    m_picture.follow(device);
    return true;
}

void ScreenRecorder::sleepUntil(qint64 dueUs) const
{
    const qint64 waitUs = dueUs - m_clock.nsecsElapsed() / 1000;
    if (waitUs <= 0) {
        return;
    }
    struct timespec wait = {static_cast<time_t>(waitUs / 1000000), static_cast<long>(waitUs % 1000000) * 1000};
    nanosleep(&wait, nullptr); // a signal cuts it short, and the loop looks at it next
}

int ScreenRecorder::fail(const QString& text, int code)
{
    const QByteArray line = text.toUtf8() + "\n";
    fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    fflush(stderr);
    return finish(code, "error", text);
}

int ScreenRecorder::finish(int code, const QString& reason, const QString& error)
{
    QJsonObject event{{"event", "screenrecord-end"},
                      {"frames", double(m_frames)},
                      {"reason", reason},
                      {"exit", code},
                      {"pid", QCoreApplication::applicationPid()},
                      {"t", nowMs()}};
    if (!error.isEmpty()) {
        event.insert("error", error);
    }
    appendJsonLine(m_home.eventLogPath(m_deviceSerial), event);
    return code;
}

// adb killed outright cannot log its own end: the recorder logs it instead.
void ScreenRecorder::logKilledInvocation() const
{
    const qint64 shellPid = qEnvironmentVariableIntValue("DEVICESIM_SHELL_PID");
    if (shellPid <= 0 || getppid() == shellPid) {
        return;
    }
    const QJsonArray argv = QJsonDocument::fromJson(qgetenv("DEVICESIM_INVOCATION")).array();
    appendJsonLine(m_home.invocationLogPath(),
                   QJsonObject{{"argv", argv}, {"exit", QJsonValue()}, {"killed", true}, {"pid", shellPid}, {"t", nowMs()}});
}

} // namespace sim

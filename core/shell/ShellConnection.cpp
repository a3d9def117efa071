#include "shell/ShellConnection.h"

#include <QDebug>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

#include "shell/ScreenRecordStream.h"

namespace dvk {

namespace {
QSet<QString>& fallbackSerials()
{
    static QSet<QString> serials;
    return serials;
}

QSize sizeAfter(const QString& output, const QString& label)
{
    const QRegularExpression pattern(label + QStringLiteral(":\\s*(\\d+)x(\\d+)"));
    const QRegularExpressionMatch match = pattern.match(output);
    return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
}

bool landscape(const QSize& size)
{
    return size.width() > size.height();
}
} // namespace

ShellConnection::ShellConnection(QString serial, quint32 bitRate, quint16 maxSize, QObject* parent)
    : QObject(parent), m_serial(std::move(serial)), m_bitRate(bitRate), m_maxSize(maxSize)
{
    m_orientationTimer.setInterval(kOrientationPollMs);
    connect(&m_orientationTimer, &QTimer::timeout, this, &ShellConnection::askOrientation);
    m_firstPictureTimer.setSingleShot(true);
    connect(&m_firstPictureTimer, &QTimer::timeout, this,
            [this]() { fail(QStringLiteral("the screen recorder sent no picture")); });
}

ShellConnection::~ShellConnection()
{
    stop();
}

void ShellConnection::start()
{
    m_adbPath = AdbProcess::getAdbPath();
    m_clock.start();
    askFacts();
}

void ShellConnection::stop()
{
    m_ended = true;
    m_firstPictureTimer.stop();
    m_orientationTimer.stop();
    if (m_stream) {
        // The recorder's end is this side's doing: no restart, no report.
        disconnect(m_stream, nullptr, this, nullptr);
        m_stream->stop();
        m_stream->stopDecode();
    }
    if (m_capture) {
        m_capture->stop();
    }
    if (m_input) {
        // It may be the one reporting its end right now.
        disconnect(m_input, nullptr, this, nullptr);
        m_input->deleteLater();
        m_input = nullptr;
    }
}

void ShellConnection::askFacts()
{
    m_factsPending = 4;
    ask({"getprop", "ro.product.model"}, &ShellConnection::takeModel);
    ask({"wm", "size"}, &ShellConnection::takeWmSize);
    ask({"input"}, &ShellConnection::takeInputUsage);
    ask({"settings", "get", "secure", "long_press_timeout"}, &ShellConnection::takeLongPress);
}

void ShellConnection::ask(const QStringList& shellArgs, void (ShellConnection::*take)(AdbProcess*))
{
    auto* process = new AdbProcess(this);
    connect(process, &AdbProcess::adbProcessResult, this, [this, process, take](AdbProcess::ADB_EXEC_RESULT result) {
        if (result == AdbProcess::ADB_STARTED) {
            return;
        }
        if (!m_ended) {
            (this->*take)(process);
            factArrived();
        }
        process->deleteLater();
    });
    process->execute(m_serial, QStringList{"shell"} + shellArgs);
}

void ShellConnection::takeModel(AdbProcess* process)
{
    m_model = process->getStdOut().trimmed();
    if (m_model.isEmpty()) {
        const QString error = process->getErrorOut().trimmed();
        m_factError = error.isEmpty() ? QStringLiteral("the device does not answer") : error;
    }
}

void ShellConnection::takeWmSize(AdbProcess* process)
{
    m_display = displaySize(process->getStdOut());
}

void ShellConnection::takeInputUsage(AdbProcess* process)
{
    // Older devices print their usage on standard error.
    m_liveDrags = (process->getStdOut() + process->getErrorOut()).contains(QStringLiteral("motionevent"));
}

void ShellConnection::takeLongPress(AdbProcess* process)
{
    bool ok = false;
    const int ms = process->getStdOut().trimmed().toInt(&ok);
    if (ok && ms > 0) {
        m_longPressMs = ms;
    }
}

void ShellConnection::factArrived()
{
    if (--m_factsPending > 0) {
        return;
    }
    if (!m_factError.isEmpty()) {
        fail(m_factError);
        return;
    }
    if (m_display.isEmpty()) {
        fail(QStringLiteral("the device does not tell its display size"));
        return;
    }
    qInfo("%s", qUtf8Printable(QStringLiteral("shell connection to %1 (%2): display %3x%4, live drags %5")
                                   .arg(m_serial, m_model)
                                   .arg(m_display.width())
                                   .arg(m_display.height())
                                   .arg(m_liveDrags ? "yes" : "no")));
    startMirroring();
}

void ShellConnection::startMirroring()
{
    m_input = new ShellInput(m_adbPath, m_serial, this);
    m_input->setDisplaySize(m_display);
    m_input->setLiveDrags(m_liveDrags);
    m_input->setLongPressMs(m_longPressMs);
    connect(m_input, &ShellInput::ended, this, &ShellConnection::onShellEnded);
    m_input->start();

    m_stream = new ScreenRecordStream(m_adbPath, m_serial, recordArguments(), this);
    connect(m_stream, &ScreenRecordStream::pictureSize, this, &ShellConnection::onPictureSize, Qt::QueuedConnection);
    connect(m_stream, &QThread::finished, this, &ShellConnection::onRecorderEnded, Qt::QueuedConnection);
    connect(m_stream, &ScreenRecordStream::firstFrame, this, &ShellConnection::onFirstFrame, Qt::QueuedConnection);
    m_capture = new ScreenCapture(m_adbPath, m_serial, this);
    connect(m_capture, &ScreenCapture::captured, this, &ShellConnection::onCaptured);
    emit streamCreated(m_stream);
    if (m_ended) {
        return;
    }
    m_stream->startRecording();
    m_firstPictureTimer.start(kFirstPictureMs);
    // A recorder writes nothing while the screen stays the same: until it does, the user sees stills.
    m_capture->start();
    askOrientation();
    m_orientationTimer.start();
}

void ShellConnection::onPictureSize(const QSize& size)
{
    if (m_input) {
        m_input->setDisplaySize(m_orientation >= 0 ? turnedDisplay() : mappedDisplay(m_display, size));
    }
    if (m_connected || m_ended) {
        return;
    }
    m_firstPictureTimer.stop();
    m_connected = true;
    emit started(true, m_model, size, QString());
}

void ShellConnection::onFirstFrame()
{
    if (m_capture) {
        m_capture->stop();
    }
}

void ShellConnection::onCaptured(const QImage& image)
{
    // A recorder that has not even begun its stream may be failing: no picture makes it a connection.
    if (m_ended || !m_stream || m_stream->outcome().frames > 0 || (!m_connected && !m_stream->announced())) {
        return;
    }
    if (!m_connected) {
        // The recording's size is the one asked for, or the screen's own when none was.
        const QSize display = m_orientation >= 0 ? turnedDisplay() : m_display;
        const QSize asked = recordSize(display, m_maxSize);
        onPictureSize(asked.isValid() ? asked : display);
    }
    emit stillPicture(image);
}

void ShellConnection::onRecorderEnded()
{
    if (m_ended || !m_stream) {
        return;
    }
    if (m_turning) {
        m_turning = false;
        m_stream->setRecordArguments(recordArguments());
        m_stream->startRecording();
        return;
    }
    const ScreenRecordStream::Outcome outcome = m_stream->outcome();
    const qint64 now = m_clock.elapsed();
    if (outcome.frames == 0) {
        m_emptyEnds.append(now);
    }
    while (!m_emptyEnds.isEmpty() && now - m_emptyEnds.first() > kFailedEndsWindowMs) {
        m_emptyEnds.removeFirst();
    }
    if (m_emptyEnds.size() >= kFailedEnds) {
        const QString error = outcome.error.isEmpty() ? QStringLiteral("exit code %1").arg(outcome.exitCode)
                                                      : outcome.error;
        fail(QStringLiteral("screen recorder failed: %1").arg(error));
        return;
    }
    qInfo("screen recorder ended (exit code %d after %d frames), starting it again", outcome.exitCode,
          outcome.frames);
    m_stream->startRecording();
}

void ShellConnection::askOrientation()
{
    if (m_input) {
        m_input->ask(QStringLiteral("dumpsys input | grep SurfaceOrientation"),
                     [this](const QString& output) { takeOrientation(output); });
    }
}

void ShellConnection::takeOrientation(const QString& output)
{
    if (m_ended) {
        return;
    }
    const int orientation = orientationFrom(output);
    if (orientation < 0) {
        qInfo("%s: the device does not tell its orientation; a turned screen is not followed", qUtf8Printable(m_serial));
        m_orientationTimer.stop();
        return;
    }
    if (orientation == m_orientation) {
        return;
    }
    const bool first = m_orientation < 0;
    m_orientation = orientation;
    // Until the recorder starts again, the turned screen sits inside the old frame between bars.
    if (m_input) {
        m_input->setDisplaySize(turnedDisplay());
    }
    // A recorder started before the first answer was asked for the right size unless it was turned.
    if (!m_stream || (first && m_stream->recordArgumentsInUse() == recordArguments())) {
        return;
    }
    qInfo("%s: turned to %d quarter turns, starting the screen recorder again", qUtf8Printable(m_serial), orientation);
    m_turning = true;
    m_stream->stop();
}

int ShellConnection::orientationFrom(const QString& dumpsysOutput)
{
    static const QRegularExpression pattern(QStringLiteral("SurfaceOrientation:\\s*([0-3])"));
    const QRegularExpressionMatch match = pattern.match(dumpsysOutput);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QSize ShellConnection::turnedDisplay() const
{
    return m_orientation % 2 == 1 ? m_display.transposed() : m_display;
}

QStringList ShellConnection::recordArguments() const
{
    const QSize display = m_orientation >= 0 ? turnedDisplay() : m_display;
    return ScreenRecordStream::recordArguments(m_bitRate, recordSize(display, m_maxSize));
}

void ShellConnection::onShellEnded()
{
    fail(QStringLiteral("the device's shell ended"));
}

void ShellConnection::fail(const QString& reason)
{
    if (m_ended) {
        return;
    }
    qWarning("%s", qUtf8Printable(QStringLiteral("shell connection to %1 ended: %2").arg(m_serial, reason)));
    const bool wasConnected = m_connected;
    stop();
    if (wasConnected) {
        emit stopped(reason);
    } else {
        emit started(false, QString(), QSize(), reason);
    }
}

QSize ShellConnection::recordSize(const QSize& display, quint16 maxSize)
{
    const int longer = std::max(display.width(), display.height());
    const int shorter = std::min(display.width(), display.height());
    if (maxSize == 0 || longer <= maxSize || shorter <= 0) {
        return QSize();
    }
    // The recorder takes sides in multiples of 8 and draws black bars where the ratio differs: of the
    // sizes within the limit (down to three quarters of it) the one closest to the display's ratio,
    // the largest of those.
    const double ratio = double(shorter) / longer;
    QSize best;
    double bestError = 1.0;
    for (int side = maxSize / 8 * 8; side >= maxSize * 3 / 4 && side > 0; side -= 8) {
        const int other = qRound(side * ratio / 8) * 8;
        const double error = std::abs(double(other) / side - ratio);
        if (other > 0 && error < bestError - 1e-9) {
            best = QSize(other, side);
            bestError = error;
        }
    }
    if (best.isEmpty()) {
        return QSize();
    }
    return display.width() > display.height() ? best.transposed() : best;
}

QSize ShellConnection::displaySize(const QString& wmSizeOutput)
{
    const QSize override = sizeAfter(wmSizeOutput, QStringLiteral("Override size"));
    return override.isEmpty() ? sizeAfter(wmSizeOutput, QStringLiteral("Physical size")) : override;
}

QSize ShellConnection::mappedDisplay(const QSize& display, const QSize& picture)
{
    return landscape(display) == landscape(picture) ? display : display.transposed();
}

void ShellConnection::rememberFallback(const QString& serial)
{
    fallbackSerials().insert(serial);
}

bool ShellConnection::fallsBack(const QString& serial)
{
    return fallbackSerials().contains(serial);
}

void ShellConnection::forgetAbsent(const QStringList& present)
{
    QSet<QString>& serials = fallbackSerials();
    for (auto it = serials.begin(); it != serials.end();) {
        it = present.contains(*it) ? std::next(it) : serials.erase(it);
    }
}

} // namespace dvk

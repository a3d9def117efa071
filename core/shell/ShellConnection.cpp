#include "shell/ShellConnection.h"

#include <QDebug>
#include <QRegularExpression>
#include <QSet>

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
    if (m_stream) {
        // The recorder's end is this side's doing: no restart, no report.
        disconnect(m_stream, nullptr, this, nullptr);
        m_stream->stop();
        m_stream->wait();
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

    const QStringList args = ScreenRecordStream::recordArguments(m_bitRate, recordSize(m_display, m_maxSize));
    m_stream = new ScreenRecordStream(m_adbPath, m_serial, args, this);
    connect(m_stream, &ScreenRecordStream::pictureSize, this, &ShellConnection::onPictureSize, Qt::QueuedConnection);
    connect(m_stream, &QThread::finished, this, &ShellConnection::onRecorderEnded, Qt::QueuedConnection);
    emit streamCreated(m_stream);
    if (m_ended) {
        return;
    }
    m_stream->startDecode();
    m_firstPictureTimer.start(kFirstPictureMs);
}

void ShellConnection::onPictureSize(const QSize& size)
{
    if (m_input) {
        m_input->setDisplaySize(mappedDisplay(m_display, size));
    }
    if (m_connected || m_ended) {
        return;
    }
    m_firstPictureTimer.stop();
    m_connected = true;
    emit started(true, m_model, size, QString());
}

void ShellConnection::onRecorderEnded()
{
    if (m_ended || !m_stream) {
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
    m_stream->startDecode();
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
    if (maxSize == 0 || longer <= maxSize) {
        return QSize();
    }
    const double scale = double(maxSize) / longer;
    const int width = int(display.width() * scale) / 8 * 8;
    const int height = int(display.height() * scale) / 8 * 8;
    return width > 0 && height > 0 ? QSize(width, height) : QSize();
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

#include "SimServer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

#include "DaemonClient.h"
#include "DeviceWire.h"
#include "ShutdownSignals.h"

extern "C" {
#include <libavutil/log.h>
}

namespace sim {

namespace {

const char* const kSocketName = "dravik";
constexpr qint64 kMaxQueuedVideo = 2 * 1024 * 1024;
int levelRank(const QString& level)
{
    return std::max(0, ServerOptions::logLevels().indexOf(level));
}

// The packet's bytes turned to noise of the same length: framing intact, and with no zero byte
// there is no start code, so nothing a decoder can use.
QByteArray garbled(const QByteArray& data)
{
    QByteArray noise(data.size(), '\0');
    quint32 state = static_cast<quint32>(data.size()) * 2654435761u + 1;
    for (char& byte : noise) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>((state >> 24) | 0x80);
    }
    return noise;
}

} // namespace

SimServer::SimServer(const SimHome& home, const QString& device, QObject* parent)
    : QObject(parent), m_home(home), m_deviceSerial(device)
{
    connect(&m_frameTimer, &QTimer::timeout, this, &SimServer::onFrameTick);
    connect(&m_housekeeping, &QTimer::timeout, this, &SimServer::onHousekeeping);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
}

SimServer::~SimServer()
{
    m_home.unregisterProcess(QCoreApplication::applicationPid());
}

QJsonValue SimServer::fault(const QString& name) const
{
    return m_device.value("faults").toObject().value(name);
}

void SimServer::log(const QString& level, const QString& text)
{
    if (levelRank(level) < levelRank(m_options.logLevel)) {
        return;
    }
    const QByteArray line = QString("[server] %1: %2\n").arg(level.toUpper(), text).toUtf8();
    FILE* stream = level == "error" || level == "warn" ? stderr : stdout;
    fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    fflush(stream);
}

void SimServer::serverEvent(const QString& event, QJsonObject fields)
{
    fields.insert("event", event);
    fields.insert("t", nowMs());
    fields.insert("pid", QCoreApplication::applicationPid());
    appendJsonLine(m_home.serverLogPath(m_deviceSerial), fields);
}

void SimServer::updateDevice(const std::function<void(QJsonObject&)>& change)
{
    const auto lock = m_home.lock();
    if (!lock) {
        log("warn", "The device state is locked; the change is not stored");
        return;
    }
    QJsonObject device;
    if (!m_home.readDevice(m_deviceSerial, device)) {
        return;
    }
    change(device);
    m_home.writeEntry(device);
    m_device = device;
}

bool SimServer::refuse(const QString& error)
{
    log("error", error);
    serverEvent("error", {{"error", error}});
    return false;
}

bool SimServer::readOptions(const QStringList& args)
{
    QString error;
    if (!ServerOptions::parse(args, m_options, &error)) {
        return refuse(error);
    }
    const QString fileVersion = QString::fromLocal8Bit(qgetenv("DEVICESIM_FILE_VERSION"));
    if (m_options.version != fileVersion) {
        return refuse(QString("The server version (%1) does not match the client (%2)").arg(fileVersion, m_options.version));
    }
    return true;
}

// The arguments were of the right type but the device cannot do what they ask:
// say so in the log, as a device would, and carry on with what it can do.
void SimServer::reportUnusable()
{
    for (const QString& text : qAsConst(m_options.unusable)) {
        log("warn", text);
        serverEvent("unusable", {{"what", text}});
    }
}

QSize SimServer::captureSize() const
{
    QSize screen(m_device.value("width").toInt(1080), m_device.value("height").toInt(2340));
    // A "wm size" override changes the display that is captured, as on a device.
    const QStringList override = m_device.value("wmSize").toString().split('x');
    if (override.size() == 2 && override.at(0).toInt() > 0 && override.at(1).toInt() > 0) {
        screen = QSize(override.at(0).toInt(), override.at(1).toInt());
    }
    return screen;
}

void SimServer::fitCrop(const QSize& screen)
{
    if (!m_options.crop.isValid() || QRect(QPoint(0, 0), screen).contains(m_options.crop)) {
        return;
    }
    m_options.unusable.append(QString("crop=%1:%2:%3:%4 lies outside the %5x%6 screen; the whole screen is captured")
                                  .arg(m_options.crop.width())
                                  .arg(m_options.crop.height())
                                  .arg(m_options.crop.x())
                                  .arg(m_options.crop.y())
                                  .arg(screen.width())
                                  .arg(screen.height()));
    m_options.crop = QRect();
}

bool SimServer::openEncoder()
{
    const quint32 rate = m_options.bitRate;
    QString error;
    if (m_encoder.open(m_frameSize, m_fps, rate, m_options.encoderName, m_options.codecOptions, &error)) {
        return true;
    }
    if (m_options.encoderName.isEmpty() && m_options.codecOptions.isEmpty()) {
        return refuse(error);
    }
    m_options.unusable.append(QString("encoder_name=%1 codec_options=%2 cannot be used (%3); the default encoder is used")
                                  .arg(m_options.encoderName, m_options.codecOptions, error));
    return m_encoder.open(m_frameSize, m_fps, rate, QString(), QString(), &error) || refuse(error);
}

bool SimServer::start(const QStringList& args, int& exitCode)
{
    exitCode = 1;
    if (!readOptions(args)) {
        return false;
    }
    if (!m_home.readDevice(m_deviceSerial, m_device)) {
        log("error", "No device state for " + m_deviceSerial);
        return false;
    }
    m_home.registerProcess(QCoreApplication::applicationPid(), "server");
    // From here on a stop (the shell killed) must leave the exit in the log.
    auto* watcher = new ShutdownSignals(this);
    connect(watcher, &ShutdownSignals::received, this, &SimServer::onSignal);
    watcher->install();
    serverEvent("start", {{"args", QJsonArray::fromStringList(args)}, {"mode", m_options.tunnelForward ? "forward" : "reverse"}});
    if (fault("exitAtOnce").toBool() || fault("exitAtOnce").toInt() != 0) {
        exitCode = fault("exitAtOnce").isBool() ? 1 : fault("exitAtOnce").toInt();
        log("error", "Simulated crash at start");
        serverEvent("exit", {{"reason", "exitAtOnce"}, {"code", exitCode}});
        return false;
    }
    const QSize screen = captureSize();
    fitCrop(screen);
    m_frameSize = computeFrameSize(screen, m_options, m_device.value("sizeLimit").toInt());
    av_log_set_level(levelRank(m_options.logLevel) <= levelRank("debug") ? AV_LOG_INFO : AV_LOG_ERROR);
    m_fps = m_options.frameRate();
    const bool opened = openEncoder();
    reportUnusable();
    if (!opened) {
        serverEvent("exit", {{"reason", "no encoder"}, {"code", exitCode}});
        return false;
    }
    m_clipboard = m_device.value("clipboard").toString();
    m_housekeeping.start(250);
    log("info", QString("Device: %1 (Android 11), stream %2x%3 at %4 fps")
                    .arg(m_device.value("name").toString())
                    .arg(m_frameSize.width())
                    .arg(m_frameSize.height())
                    .arg(m_fps));
    QTimer::singleShot(fault("slowStartMs").toInt(), this, [this] {
        if (m_options.tunnelForward) {
            listenForward();
        } else {
            connectReverse();
        }
    });
    return true;
}

void SimServer::onSignal(int sig)
{
    const qint64 shellPid = qEnvironmentVariableIntValue("DEVICESIM_SHELL_PID");
    if (shellPid > 0 && getppid() != shellPid) {
        // The shell was killed and cannot log its own end: log it for the shell.
        const QJsonArray argv =
            QJsonDocument::fromJson(qgetenv("DEVICESIM_INVOCATION")).array();
        appendJsonLine(m_home.invocationLogPath(),
                       QJsonObject{{"argv", argv}, {"exit", QJsonValue()}, {"killed", true}, {"pid", shellPid}, {"t", nowMs()}});
    }
    finish(128 + sig, "signal");
}

void SimServer::connectReverse()
{
    DaemonClient client(m_home);
    const QJsonObject request{{"op", "reverse-connect"}, {"device", m_deviceSerial}, {"name", kSocketName}};
    QJsonObject reply;
    QString error;
    m_video = client.openChannel(request, reply, &error, this);
    if (!m_video) {
        log("error", QString("Could not connect to localabstract:%1: %2").arg(kSocketName, error));
        finish(1, "reverse connect failed");
        return;
    }
    if (m_options.control) {
        m_control = client.openChannel(request, reply, &error, this);
        if (!m_control) {
            log("error", QString("Could not connect to localabstract:%1: %2").arg(kSocketName, error));
            finish(1, "reverse connect failed");
            return;
        }
    }
    onConnected();
}

void SimServer::listenForward()
{
    m_listener = new QTcpServer(this);
    if (!m_listener->listen(QHostAddress::LocalHost, 0)) {
        log("error", "Could not listen: " + m_listener->errorString());
        finish(1, "listen failed");
        return;
    }
    connect(m_listener, &QTcpServer::newConnection, this, &SimServer::onForwardConnection);
    DaemonClient client(m_home);
    QJsonObject reply;
    QString error;
    m_registration = client.openChannel(QJsonObject{{"op", "abstract-listen"},
                                                    {"device", m_deviceSerial},
                                                    {"name", kSocketName},
                                                    {"port", m_listener->serverPort()}},
                                        reply, &error, this);
    if (!m_registration) {
        log("error", QString("Could not listen on localabstract:%1: %2").arg(kSocketName, error));
        finish(1, "listen failed");
        return;
    }
    serverEvent("listening", {{"port", m_listener->serverPort()}});
    // Without the daemon nobody can reach the socket any more.
    connect(m_registration, &QTcpSocket::disconnected, this, [this] {
        if (!m_video || (m_options.control && !m_control)) {
            finish(1, "daemon gone while listening");
        }
    });
}

void SimServer::onForwardConnection()
{
    while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
        socket->setParent(this);
        if (m_video && m_video->state() != QAbstractSocket::ConnectedState) {
            // The client gave up on that attempt (its other half reached the tunnel
            // before this side listened): start over with this connection as video.
            m_video->deleteLater();
            m_video = nullptr;
        }
        if (!m_video) {
            m_video = socket;
            // The first byte tells the client that the device side really answers.
            if (!fault("silent").toBool()) {
                m_video->write(QByteArray(1, '\0'));
            }
        } else if (m_options.control && !m_control) {
            m_control = socket;
        } else {
            socket->close();
            socket->deleteLater();
            continue;
        }
        if (m_video && (!m_options.control || m_control)) {
            m_listener->close();
            if (m_registration) {
                m_registration->disconnect(this);
                m_registration->close();
            }
            onConnected();
            return;
        }
    }
}

void SimServer::onConnected()
{
    connect(m_video, &QTcpSocket::disconnected, this, [this] { finish(0, "video connection closed"); });
    // The application never writes on the video connection; reading keeps its buffer empty.
    connect(m_video, &QTcpSocket::readyRead, this, [this] { m_video->readAll(); });
    if (m_control) {
        connect(m_control, &QTcpSocket::readyRead, this, &SimServer::onControlReadyRead);
        connect(m_control, &QTcpSocket::disconnected, this, [this] { log("info", "Control connection closed"); });
    }
    serverEvent("connected", {{"width", m_frameSize.width()},
                              {"height", m_frameSize.height()},
                              {"name", m_device.value("name").toString()},
                              {"control", m_control != nullptr}});
    if (fault("noHandshake").toBool() || fault("silent").toBool()) {
        log("warn", "Simulated fault: no device information sent");
        return;
    }
    const QJsonValue shortBy = fault("shortHandshake");
    if (!shortBy.isUndefined()) {
        // Part of the record and then silence, with the connection left open.
        const int keep = qBound(0, shortBy.toInt(), 67);
        sendDeviceInfo(keep);
        log("warn", QString("Simulated fault: device information cut to %1 bytes").arg(keep));
        return;
    }
    const int delayMs = fault("handshakeDelayMs").toInt();
    if (delayMs > 0) {
        log("warn", QString("Simulated fault: device information sent after %1 ms").arg(delayMs));
        QTimer::singleShot(delayMs, this, &SimServer::beginSession);
        return;
    }
    beginSession();
}

void SimServer::beginSession()
{
    sendDeviceInfo();
    startStreaming();
    if (m_control && m_control->bytesAvailable() > 0) {
        onControlReadyRead();
    }
}

void SimServer::sendDeviceInfo(int keep)
{
    const QByteArray info = DeviceWire::deviceInfo(m_device.value("name").toString(), m_frameSize);
    m_video->write(keep < 0 ? info : info.left(keep));
}

void SimServer::startStreaming()
{
    m_clock.start();
    writePacket(-1, m_encoder.configuration());
    onFrameTick();
    m_frameTimer.start(1000 / m_fps);
}

void SimServer::writePacket(qint64 pts, const QByteArray& data)
{
    m_video->write(DeviceWire::packetHeader(pts, static_cast<quint32>(data.size())) + data);
}

bool SimServer::applyFrameFaults()
{
    const QJsonValue closeAfter = fault("closeAfterFrames");
    if (!closeAfter.isUndefined() && m_frames >= static_cast<quint32>(closeAfter.toInt())) {
        log("warn", QString("Simulated fault: closing after %1 frames").arg(m_frames));
        finish(0, "closeAfterFrames");
        return true;
    }
    const QJsonValue closeAfterMs = fault("closeAfterMs");
    if (!closeAfterMs.isUndefined() && m_clock.elapsed() >= closeAfterMs.toInt()) {
        log("warn", QString("Simulated fault: closing after %1 ms").arg(m_clock.elapsed()));
        finish(0, "closeAfterMs");
        return true;
    }
    const QJsonValue truncateAt = fault("truncateAtFrame");
    if (!truncateAt.isUndefined() && m_frames >= static_cast<quint32>(truncateAt.toInt())) {
        const QByteArray header = DeviceWire::packetHeader(m_clock.nsecsElapsed() / 1000, 1000);
        m_video->write(header + QByteArray(500, '\x42'));
        log("warn", "Simulated fault: truncated packet");
        finish(0, "truncateAtFrame");
        return true;
    }
    const QJsonValue hugeAt = fault("hugeLengthAtFrame");
    if (!hugeAt.isUndefined() && m_frames >= static_cast<quint32>(hugeAt.toInt())) {
        const double value = fault("hugeLengthValue").toDouble(double(0x7FFFFFF0u));
        const QByteArray header = DeviceWire::packetHeader(m_clock.nsecsElapsed() / 1000, static_cast<quint32>(value));
        m_video->write(header + QByteArray(64, '\x42'));
        log("warn", "Simulated fault: packet with a huge length");
        m_frameTimer.stop();
        m_streamStopped = true;
        serverEvent("fault", {{"fault", "hugeLengthAtFrame"}, {"frames", double(m_frames)}});
        return true;
    }
    return false;
}

void SimServer::onFrameTick()
{
    if (!m_video || m_streamStopped || m_finished) {
        return;
    }
    if (applyFrameFaults()) {
        return;
    }
    if (m_video->bytesToWrite() > kMaxQueuedVideo) {
        // The reader is behind; a real encoder would stall, so the picture is dropped.
        ++m_skipped;
        return;
    }
    m_pattern.draw(m_encoder.picture(), m_frames);
    QList<VideoEncoder::Packet> packets;
    QString error;
    if (!m_encoder.encode(m_clock.nsecsElapsed() / 1000, packets, &error)) {
        log("error", error);
        finish(1, "encoder failed");
        return;
    }
    const QJsonValue garbageFrom = fault("garbageFromFrame");
    const bool garbage = !garbageFrom.isUndefined() && m_frames >= static_cast<quint32>(garbageFrom.toInt());
    for (const VideoEncoder::Packet& packet : packets) {
        writePacket(packet.pts, garbage ? garbled(packet.data) : packet.data);
    }
    ++m_frames;
}

void SimServer::onControlReadyRead()
{
    if (!m_control) {
        return;
    }
    const QList<QJsonObject> messages = m_parser.feed(m_control->readAll());
    for (const QJsonObject& message : messages) {
        handleControl(message);
    }
}

void SimServer::handleControl(const QJsonObject& messageIn)
{
    QJsonObject message = messageIn;
    message.insert("seq", double(m_controlCount++));
    message.insert("t", nowMs());
    if (message.contains("error")) {
        log("error", "Control stream broken: " + message.value("error").toString());
        appendJsonLine(m_home.controlLogPath(m_deviceSerial), message);
        return;
    }
    const QString name = message.value("name").toString();
    if (name == "INJECT_TOUCH") {
        const int sw = message.value("screenWidth").toInt();
        const int sh = message.value("screenHeight").toInt();
        if (sw != m_frameSize.width() || sh != m_frameSize.height()) {
            // As on a device: a position computed for another size is not injected.
            message.insert("ignored", true);
        } else {
            const int action = message.value("action").toInt();
            m_pattern.setTouch(QPoint(message.value("x").toInt(), message.value("y").toInt()), action != 1);
        }
    } else if (name == "SET_CLIPBOARD") {
        const QString text = message.value("text").toString();
        m_clipboard = text;
        updateDevice([&](QJsonObject& d) {
            d.insert("clipboard", text);
            if (message.value("paste").toBool()) {
                d.insert("lastPaste", text);
            }
        });
    } else if (name == "GET_CLIPBOARD") {
        sendUnknownMessageOnce();
        QJsonObject device;
        m_home.readDevice(m_deviceSerial, device);
        m_clipboard = device.value("clipboard").toString();
        sendClipboard(m_clipboard);
    } else if (name == "SET_SCREEN_POWER_MODE") {
        const int mode = message.value("mode").toInt();
        updateDevice([mode](QJsonObject& d) { d.insert("screenPower", mode); });
    } else if (name == "INJECT_TEXT") {
        const QString text = message.value("text").toString();
        updateDevice([&](QJsonObject& d) { d.insert("typedText", d.value("typedText").toString() + text); });
    } else if (name == "INJECT_KEYCODE" && message.value("keycode").toInt() == 26 && message.value("action").toInt() == 1) {
        updateDevice([](QJsonObject& d) { d.insert("screenPower", d.value("screenPower").toInt(2) == 0 ? 2 : 0); });
    } else if (name == "BACK_OR_SCREEN_ON" && message.value("action").toInt() == 1) {
        updateDevice([](QJsonObject& d) { d.insert("screenPower", 2); });
    }
    appendJsonLine(m_home.controlLogPath(m_deviceSerial), message);
}

void SimServer::sendDeviceMessage(const QByteArray& bytes)
{
    if (m_control && m_control->state() == QAbstractSocket::ConnectedState) {
        m_control->write(bytes);
    }
}

void SimServer::sendClipboard(const QString& text)
{
    sendDeviceMessage(DeviceWire::clipboardMessage(text));
    serverEvent("clipboard-sent", {{"text", text}});
}

void SimServer::onHousekeeping()
{
    if (!QFileInfo(m_home.root()).isDir()) {
        finish(0, "simulator home removed");
        return;
    }
    QJsonObject device;
    if (!m_home.readDevice(m_deviceSerial, device) || device.value("state").toString("device") != "device") {
        // Unplugged: the connections drop without a goodbye.
        for (QTcpSocket* socket : {m_video.data(), m_control.data()}) {
            if (socket) {
                socket->disconnect(this);
                socket->abort();
            }
        }
        finish(1, "device disconnected");
        return;
    }
    m_device = device;
    sendLongClipboardOnce();
    // A clipboard changed on the device (from outside) is announced, as a device does.
    const QString clipboard = device.value("clipboard").toString();
    if (clipboard != m_clipboard) {
        m_clipboard = clipboard;
        sendUnknownMessageOnce();
        sendClipboard(clipboard);
    }
}

// The unknownDeviceMessage fault: the first clipboard message, asked for or announced, comes
// after one message of a type the application does not know.
void SimServer::sendUnknownMessageOnce()
{
    if (!fault("unknownDeviceMessage").toBool() || m_unknownSent) {
        return;
    }
    m_unknownSent = true;
    const int type = fault("unknownDeviceMessageType").toInt(1);
    sendDeviceMessage(DeviceWire::deviceMessage(static_cast<quint8>(type), "xyz"));
}

// The longClipboard fault: one clipboard text of that many bytes, made up on the spot rather
// than kept in device.json, which every housekeeping round reads.
void SimServer::sendLongClipboardOnce()
{
    const qint64 length = qint64(fault("longClipboard").toDouble());
    if (length <= 0 || m_longClipboardSent || !m_control) {
        return;
    }
    m_longClipboardSent = true;
    sendDeviceMessage(DeviceWire::deviceMessage(0, QByteArray(int(qMin<qint64>(length, 1 << 30)), 'x')));
    serverEvent("clipboard-sent", {{"length", double(length)}});
}

void SimServer::finish(int code, const QString& reason)
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_frameTimer.stop();
    m_housekeeping.stop();
    serverEvent("exit", {{"reason", reason},
                         {"code", code},
                         {"frames", double(m_frames)},
                         {"skipped", double(m_skipped)},
                         {"controlMessages", double(m_controlCount)}});
    log("info", QString("Server ends: %1").arg(reason));
    for (QTcpSocket* socket : {m_video.data(), m_control.data(), m_registration.data()}) {
        if (socket) {
            socket->disconnect(this);
            socket->flush();
            socket->disconnectFromHost();
        }
    }
    // Give queued bytes a moment to leave before the process goes.
    QTimer::singleShot(code == 0 ? 100 : 0, this, [code] { QCoreApplication::exit(code); });
}

} // namespace sim

#include "SimClient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QDeadlineTimer>

#include "TestPattern.h"

bool StreamReader::readExactly(QByteArray& out, int size, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_video->bytesAvailable() < size) {
        if (deadline.hasExpired() || !m_video->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            if (m_video->bytesAvailable() >= size) {
                break;
            }
            return false;
        }
    }
    out = m_video->read(size);
    return out.size() == size;
}

bool StreamReader::readDeviceInfo(QString& name, QSize& size)
{
    QByteArray info;
    if (!readExactly(info, 68)) {
        return false;
    }
    name = QString::fromUtf8(info.left(63).constData());
    const auto be16 = [&](int at) { return (quint8(info[at]) << 8) | quint8(info[at + 1]); };
    size = QSize(be16(64), be16(66));
    return true;
}

bool StreamReader::readPacket(qint64& pts, QByteArray& payload, int timeoutMs)
{
    QByteArray header;
    if (!readExactly(header, 12, timeoutMs)) {
        return false;
    }
    quint64 rawPts = 0;
    for (int i = 0; i < 8; ++i) {
        rawPts = (rawPts << 8) | quint8(header[i]);
    }
    quint32 length = 0;
    for (int i = 8; i < 12; ++i) {
        length = (length << 8) | quint8(header[i]);
    }
    pts = static_cast<qint64>(rawPts);
    if (length > 16 * 1024 * 1024) {
        return false;
    }
    return readExactly(payload, static_cast<int>(length), timeoutMs);
}

H264Decoder::H264Decoder()
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        return;
    }
    m_ctx = avcodec_alloc_context3(codec);
    if (avcodec_open2(m_ctx, codec, nullptr) < 0) {
        avcodec_free_context(&m_ctx);
        return;
    }
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
}

H264Decoder::~H264Decoder()
{
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_ctx);
}

int H264Decoder::decode(const QByteArray& data)
{
    if (!m_ctx || av_new_packet(m_packet, data.size()) < 0) {
        return 0;
    }
    memcpy(m_packet->data, data.constData(), static_cast<size_t>(data.size()));
    const int sent = avcodec_send_packet(m_ctx, m_packet);
    av_packet_unref(m_packet);
    if (sent < 0) {
        return 0;
    }
    int pictures = 0;
    while (avcodec_receive_frame(m_ctx, m_frame) == 0) {
        m_lastSize = QSize(m_frame->width, m_frame->height);
        m_lastCode = sim::TestPattern::readCode(m_frame->data[0], m_frame->linesize[0], m_lastSize);
        m_codes.append(m_lastCode);
        m_lastLinesize = m_frame->linesize[0];
        m_lastLuma = QByteArray(reinterpret_cast<const char*>(m_frame->data[0]), m_frame->linesize[0] * m_frame->height);
        av_frame_unref(m_frame);
        ++pictures;
    }
    return pictures;
}

int H264Decoder::lumaAround(int x, int y, int radius) const
{
    int sum = 0;
    int count = 0;
    for (int yy = y - radius; yy <= y + radius; ++yy) {
        for (int xx = x - radius; xx <= x + radius; ++xx) {
            if (xx < 0 || yy < 0 || xx >= m_lastSize.width() || yy >= m_lastSize.height()) {
                continue;
            }
            sum += quint8(m_lastLuma[yy * m_lastLinesize + xx]);
            ++count;
        }
    }
    return count ? sum / count : -1;
}

#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include "SimDevice.h"

SimLaunch::~SimLaunch()
{
    video.reset();
    control.reset();
    if (shell && shell->state() != QProcess::NotRunning) {
        shell->kill();
        shell->waitForFinished(3000);
    }
}

QStringList serverCommand(bool forward, const QStringList& extra)
{
    return QStringList{"shell",
                       "CLASSPATH=/data/local/tmp/dravik-server.jar",
                       "app_process",
                       "/",
                       "com.kelvanorth.dravik.Server",
                       SimDevice::serverVersion(),
                       "log_level=info",
                       "max_size=720",
                       "bit_rate=2000000",
                       "max_fps=30",
                       "lock_video_orientation=-1",
                       QString("tunnel_forward=%1").arg(forward ? "true" : "false"),
                       "control=true",
                       "display_id=0",
                       "show_touches=false",
                       "stay_awake=false"} +
           extra;
}

bool launchServer(SimDevice& device, bool forward, SimLaunch& launch, QString* why, const QStringList& extra,
                  bool readInfo)
{
    const auto failWith = [why](const QString& text) {
        *why = text;
        return false;
    };
    if (device.runAdb({"push", SimDevice::serverFilePath(), "/data/local/tmp/dravik-server.jar"}).exitCode != 0) {
        return failWith("push failed");
    }
    const quint16 port = SimDevice::freePort();
    const QString tcp = QString("tcp:%1").arg(port);
    launch.shell = std::make_unique<QProcess>();
    launch.shell->setProcessEnvironment(device.environment());
    if (!forward) {
        launch.listener = std::make_unique<QTcpServer>();
        if (!launch.listener->listen(QHostAddress::LocalHost, port)) {
            return failWith("listen failed");
        }
        if (device.runAdb({"reverse", "localabstract:dravik", tcp}).exitCode != 0) {
            return failWith("reverse failed");
        }
        launch.shell->start(SimDevice::adbPath(), serverCommand(false, extra));
        for (auto* slot : {&launch.video, &launch.control}) {
            if (!launch.listener->hasPendingConnections() && !launch.listener->waitForNewConnection(10000)) {
                return failWith("no connection from the server");
            }
            slot->reset(launch.listener->nextPendingConnection());
            (*slot)->setParent(nullptr);
        }
    } else {
        if (device.runAdb({"forward", tcp, "localabstract:dravik"}).exitCode != 0) {
            return failWith("forward failed");
        }
        launch.shell->start(SimDevice::adbPath(), serverCommand(true, extra));
        bool connected = false;
        for (int attempt = 0; attempt < 100 && !connected; ++attempt) {
            launch.video = std::make_unique<QTcpSocket>();
            launch.control = std::make_unique<QTcpSocket>();
            launch.video->connectToHost(QHostAddress::LocalHost, port);
            launch.control->connectToHost(QHostAddress::LocalHost, port);
            if (launch.video->waitForConnected(1000) && launch.control->waitForConnected(1000) &&
                (launch.video->bytesAvailable() > 0 || launch.video->waitForReadyRead(300))) {
                launch.video->read(1);
                connected = true;
                break;
            }
            QThread::msleep(50);
        }
        if (!connected) {
            return failWith("the server never answered through the forward tunnel");
        }
    }
    if (!readInfo) {
        return true;
    }
    StreamReader reader(launch.video.get());
    if (!reader.readDeviceInfo(launch.name, launch.size)) {
        return failWith("no device information");
    }
    return true;
}

AnnexBDecoder::AnnexBDecoder() : m_parser(av_parser_init(AV_CODEC_ID_H264)), m_ctx(avcodec_alloc_context3(nullptr)) {}

AnnexBDecoder::~AnnexBDecoder()
{
    av_parser_close(m_parser);
    avcodec_free_context(&m_ctx);
}

void AnnexBDecoder::feed(const QByteArray& bytes, bool last)
{
    const auto* data = reinterpret_cast<const quint8*>(bytes.constData());
    int left = bytes.size();
    while (left > 0) {
        const int used = parse(data, left);
        data += used;
        left -= used;
    }
    if (last) {
        parse(nullptr, 0);
    }
}

int AnnexBDecoder::parse(const quint8* data, int size)
{
    uint8_t* unit = nullptr;
    int unitSize = 0;
    const int used =
        av_parser_parse2(m_parser, m_ctx, &unit, &unitSize, data, size, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (unitSize > 0) {
        decoder.decode(QByteArray(reinterpret_cast<const char*>(unit), unitSize));
    }
    return used;
}

AdbOutput runAdbBinary(const SimDevice& device, const QStringList& args, int timeoutMs)
{
    QProcess adb;
    adb.setProcessEnvironment(device.environment());
    adb.start(SimDevice::adbPath(), args);
    AdbOutput result;
    if (!adb.waitForFinished(timeoutMs)) {
        adb.kill();
        adb.waitForFinished(2000);
        return result;
    }
    result.exitCode = adb.exitStatus() == QProcess::NormalExit ? adb.exitCode() : -1;
    result.out = adb.readAllStandardOutput();
    result.err = QString::fromUtf8(adb.readAllStandardError());
    return result;
}

QStringList recordArgs(const QStringList& options)
{
    return QStringList{"exec-out", "screenrecord", "--output-format=h264"} + options + QStringList{"-"};
}

QList<QJsonObject> eventsNamed(const SimDevice& device, const QString& name)
{
    QList<QJsonObject> found;
    for (const QJsonObject& event : device.eventLog()) {
        if (event.value("event").toString() == name) {
            found.append(event);
        }
    }
    return found;
}

bool waitForEvent(const SimDevice& device, const QString& name, int count)
{
    QElapsedTimer timer;
    timer.start();
    while (eventsNamed(device, name).size() < count) {
        if (timer.elapsed() > 10000) {
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

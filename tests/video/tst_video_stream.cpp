#include "H264TestEncoder.h"
#include "LogCapture.h"

#include "decoder/Decoder.h"
#include "server/Stream.h"
#include "server/VideoSocket.h"

#include <QPointer>
#include <QTcpServer>
#include <QtTest>

#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

using namespace dvk;

namespace {

struct SeenPacket
{
    QByteArray data;
    qint64 pts = 0;
    qint64 dts = 0;
    bool key = false;
};

// What the stream handed out, recorded on the stream thread.
class PacketLog
{
public:
    void add(bool config, const AVPacket* p)
    {
        SeenPacket s{QByteArray(reinterpret_cast<const char*>(p->data), p->size), p->pts, p->dts,
                     (p->flags & AV_PKT_FLAG_KEY) != 0};
        std::lock_guard<std::mutex> locker(m_mutex);
        (config ? m_configs : m_frames).push_back(s);
    }
    std::vector<SeenPacket> frames() const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        return m_frames;
    }
    std::vector<SeenPacket> configs() const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        return m_configs;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<SeenPacket> m_frames;
    std::vector<SeenPacket> m_configs;
};

// A stream thread reading from a VideoSocket connected over loopback to a peer socket.
class Link
{
public:
    Link()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        m_socket = new VideoSocket();
        m_socket->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
        m_server.waitForNewConnection(3000);
        m_peer.reset(m_server.nextPendingConnection());
        m_socket->waitForConnected(3000);
        QPointer<VideoSocket> socket = m_socket;
        m_stream = std::make_unique<Stream>([socket](quint8* buf, qint32 size) -> qint32 {
            return socket ? socket->subThreadRecvData(buf, size) : 0;
        });
        QObject::connect(
            m_stream.get(), &Stream::getFrame, m_stream.get(), [this](AVPacket* p) { log.add(false, p); },
            Qt::DirectConnection);
        QObject::connect(
            m_stream.get(), &Stream::getConfigFrame, m_stream.get(), [this](AVPacket* p) { log.add(true, p); },
            Qt::DirectConnection);
        QObject::connect(m_stream.get(), &Stream::onStreamStop, &m_context, [this] { ++stops; });
    }
    ~Link()
    {
        if (m_socket) {
            m_socket->close();
        }
        m_stream->stopDecode();
        delete m_socket;
    }

    bool connected() const { return m_peer && m_socket->state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes)
    {
        m_peer->write(bytes);
        m_peer->flush();
    }
    void closePeer() { m_peer->disconnectFromHost(); }

    PacketLog log;
    int stops = 0;
    QPointer<VideoSocket> m_socket;
    std::unique_ptr<Stream> m_stream;

private:
    QObject m_context;
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_peer;
};

const quint64 kNoPts = ~quint64(0);

} // namespace

class TestVideoStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void configMergedIntoNextFrame_data();
    void configMergedIntoNextFrame();
    void framesWithoutConfigPassUnchanged();
    void peerCloseDeliversBufferedPacketsThenStops();
    void truncatedPayloadIsDropped();
    void drainHandsOverWhatArrivedThenEnds_data();
    void drainHandsOverWhatArrivedThenEnds();
    void closeWhileWaitingWakesStreamThread_data();
    void closeWhileWaitingWakesStreamThread();
    void closeDuringTrafficNeverHangs();
    void oversizedLengthEndsStream();
    void byteByByteDeliveryKeepsPacketsIntact();
    void streamFeedsDecoder();
    void ffmpegLogIsFormattedAndRouted();
};

void TestVideoStream::initTestCase()
{
    QVERIFY(Stream::init());
    QVERIFY(avcodec_find_encoder_by_name("libx264"));
}

void TestVideoStream::configMergedIntoNextFrame_data()
{
    QTest::addColumn<bool>("splitConfig");
    QTest::newRow("one configuration") << false;
    QTest::newRow("two configurations") << true;
}

void TestVideoStream::configMergedIntoNextFrame()
{
    QFETCH(bool, splitConfig);
    const EncodedStream enc = encodeFlatFrames({}, {100});
    QVERIFY(!enc.config.isEmpty());
    QCOMPARE(enc.frames.size(), 1);

    QVector<QByteArray> configs{enc.config};
    if (splitConfig) {
        configs = splitNalUnits(enc.config); // SPS, then PPS
        QCOMPARE(configs.size(), 2);
    }

    Link link;
    QVERIFY(link.connected());
    QVERIFY(link.m_stream->startDecode());
    QByteArray wire;
    for (const QByteArray& c : configs) {
        wire += framePacket(kNoPts, c);
    }
    wire += framePacket(123456, enc.frames[0].data);
    link.send(wire);

    QTRY_COMPARE(link.log.frames().size(), size_t(1));
    const std::vector<SeenPacket> seenConfigs = link.log.configs();
    QCOMPARE(seenConfigs.size(), size_t(configs.size()));
    for (int i = 0; i < configs.size(); ++i) {
        QCOMPARE(seenConfigs[i].data, configs[i]);
        QCOMPARE(seenConfigs[i].pts, AV_NOPTS_VALUE);
    }
    const SeenPacket frame = link.log.frames().front();
    QCOMPARE(frame.data, enc.config + enc.frames[0].data);
    QCOMPARE(frame.pts, 123456);
    QCOMPARE(frame.dts, 123456);
    QVERIFY(frame.key);
}

void TestVideoStream::framesWithoutConfigPassUnchanged()
{
    EncodeOptions opt;
    opt.separateConfig = false;
    const EncodedStream enc = encodeFlatFrames(opt, {30, 60});
    QCOMPARE(enc.frames.size(), 2);
    QVERIFY(enc.frames[0].key);
    QVERIFY(!enc.frames[1].key);

    Link link;
    QVERIFY(link.m_stream->startDecode());
    // An empty packet in between is skipped, not handed on as an end-of-stream marker.
    link.send(framePacket(1000, enc.frames[0].data) + framePacket(1500, QByteArray())
              + framePacket(2000, enc.frames[1].data));

    QTRY_COMPARE(link.log.frames().size(), size_t(2));
    const std::vector<SeenPacket> frames = link.log.frames();
    QVERIFY(link.log.configs().empty());
    QCOMPARE(frames[0].data, enc.frames[0].data);
    QCOMPARE(frames[1].data, enc.frames[1].data);
    QCOMPARE(frames[0].dts, 1000);
    QCOMPARE(frames[1].dts, 2000);
    QVERIFY(frames[0].key);
    QVERIFY(!frames[1].key);
}

void TestVideoStream::peerCloseDeliversBufferedPacketsThenStops()
{
    // The device writes its last packets and hangs up at once: those packets were
    // fully received and must still come out before the stream stops.
    Link link;
    QVERIFY(link.m_stream->startDecode());
    QByteArray wire;
    for (int i = 0; i < 20; ++i) {
        wire += framePacket(static_cast<quint64>(i), QByteArray(5000 + i, char(i)));
    }
    link.send(wire);
    link.closePeer();

    QTRY_COMPARE(link.stops, 1);
    const std::vector<SeenPacket> frames = link.log.frames();
    QCOMPARE(frames.size(), size_t(20));
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(frames[i].pts, i);
        QCOMPARE(frames[i].data, QByteArray(5000 + i, char(i)));
    }
}

void TestVideoStream::truncatedPayloadIsDropped()
{
    Link link;
    QVERIFY(link.m_stream->startDecode());
    QByteArray truncated = framePacket(7, QByteArray(100, 'x'));
    truncated.chop(50);
    link.send(framePacket(6, QByteArray(40, 'a')) + truncated);
    link.closePeer();

    QTRY_COMPARE(link.stops, 1);
    const std::vector<SeenPacket> frames = link.log.frames();
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(frames[0].pts, 6);
}

void TestVideoStream::drainHandsOverWhatArrivedThenEnds_data()
{
    QTest::addColumn<bool>("peerCloses");
    QTest::newRow("peer closes") << true;
    QTest::newRow("peer stays, time runs out") << false;
}

void TestVideoStream::drainHandsOverWhatArrivedThenEnds()
{
    // The socket's thread is busy when the connection is taken down: the packets already
    // received must still reach the stream, which then ends on its own.
    QFETCH(bool, peerCloses);
    Link link;
    QVERIFY(link.m_stream->startDecode());
    QByteArray wire;
    for (int i = 0; i < 20; ++i) {
        wire += framePacket(static_cast<quint64>(i), QByteArray(5000 + i, char(i)));
    }
    QByteArray partial = framePacket(20, QByteArray(100, 'x'));
    partial.chop(50);
    link.send(wire + partial);
    if (peerCloses) {
        link.closePeer();
    }

    link.m_socket->drain(300);
    QVERIFY2(link.m_stream->wait(5000), "the stream waited for the socket's thread after the drain");
    const std::vector<SeenPacket> frames = link.log.frames();
    QCOMPARE(frames.size(), size_t(20));
    QCOMPARE(frames.back().data, QByteArray(5019, char(19)));
    QTRY_COMPARE(link.stops, 1);
}

void TestVideoStream::closeWhileWaitingWakesStreamThread_data()
{
    QTest::addColumn<bool>("destroy");
    QTest::newRow("close") << false;
    QTest::newRow("destroy") << true;
}

void TestVideoStream::closeWhileWaitingWakesStreamThread()
{
    QFETCH(bool, destroy);
    Link link;
    QVERIFY(link.m_stream->startDecode());
    // Half a header: the stream thread is now blocked waiting for the rest.
    link.send(QByteArray(6, '\0'));
    QTest::qWait(50);
    QVERIFY(link.m_stream->isRunning());

    if (destroy) {
        delete link.m_socket;
    } else {
        link.m_socket->close();
    }
    QVERIFY(link.m_stream->wait(3000));
    link.m_stream->stopDecode();
    QTRY_COMPARE(link.stops, 1);
    if (!destroy) {
        quint8 byte = 0;
        QCOMPARE(link.m_socket->subThreadRecvData(&byte, 1), 0);
    }
}

void TestVideoStream::closeDuringTrafficNeverHangs()
{
    // Closing races with requests in every state of the hand-over; none may be left waiting.
    const QByteArray packet = framePacket(1, QByteArray(3000, 'p'));
    for (int round = 0; round < 25; ++round) {
        Link link;
        QVERIFY(link.m_stream->startDecode());
        for (int i = 0; i < 1 + round % 5; ++i) {
            link.send(packet);
            QCoreApplication::processEvents();
        }
        if (round % 2) {
            QTest::qWait(round % 3);
        }
        link.m_socket->close();
        QVERIFY2(link.m_stream->wait(3000), qPrintable(QString("round %1").arg(round)));
        link.m_stream->stopDecode();
    }
}

void TestVideoStream::oversizedLengthEndsStream()
{
    LogCapture capture;
    Link link;
    QVERIFY(link.m_stream->startDecode());
    QByteArray header = framePacket(5, QByteArray());
    qToBigEndian<quint32>(Stream::kMaxPacketSize + 1, header.data() + 8);
    link.send(header);

    QTRY_COMPARE(link.stops, 1);
    QVERIFY(link.log.frames().empty());
    const QStringList critical = capture.lines(QtCriticalMsg);
    QCOMPARE(critical.size(), 1);
    QVERIFY(critical.first().contains("exceeds the limit"));
}

void TestVideoStream::byteByByteDeliveryKeepsPacketsIntact()
{
    Link link;
    QVERIFY(link.m_stream->startDecode());
    QByteArray wire;
    QVector<QByteArray> payloads;
    for (int i = 0; i < 30; ++i) {
        QByteArray payload(1 + (i * 977) % 9000, '\0');
        for (int k = 0; k < payload.size(); ++k) {
            payload[k] = char((k * 31 + i) & 0xff);
        }
        payloads << payload;
        wire += framePacket(static_cast<quint64>(100 + i), payload);
    }
    // Ragged pieces, some smaller than a header.
    int pos = 0;
    for (int step = 1; pos < wire.size(); step = step * 7 % 4099 + 1) {
        link.send(wire.mid(pos, step));
        pos += step;
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE(link.log.frames().size(), size_t(payloads.size()));
    const std::vector<SeenPacket> frames = link.log.frames();
    for (int i = 0; i < payloads.size(); ++i) {
        QCOMPARE(frames[i].pts, 100 + i);
        QCOMPARE(frames[i].data, payloads[i]);
    }
}

void TestVideoStream::streamFeedsDecoder()
{
    QVector<int> lumas;
    for (int i = 0; i < 10; ++i) {
        lumas << 20 + i * 20;
    }
    const EncodedStream enc = encodeFlatFrames({}, lumas);
    QCOMPARE(enc.frames.size(), lumas.size());

    int shown = 0;
    int lastLuma = -1;
    Decoder decoder([&](int, int, uint8_t* y, uint8_t*, uint8_t*, int, int, int) {
        ++shown;
        lastLuma = y[0];
    });
    QVERIFY(decoder.open());
    Link link;
    QObject::connect(
        link.m_stream.get(), &Stream::getFrame, link.m_stream.get(),
        [&decoder](AVPacket* p) { decoder.push(p); }, Qt::DirectConnection);
    QVERIFY(link.m_stream->startDecode());
    QByteArray wire = framePacket(kNoPts, enc.config);
    for (int i = 0; i < enc.frames.size(); ++i) {
        wire += framePacket(static_cast<quint64>(i * 16666), enc.frames[i].data);
    }
    link.send(wire);
    link.closePeer();
    QTRY_COMPARE(link.stops, 1);
    QTRY_COMPARE(quint32(shown) + decoder.skippedFrames(), quint32(lumas.size()));
    QCOMPARE(decoder.renderedFrames(), quint32(shown));
    QVERIFY(qAbs(lastLuma - lumas.last()) <= 3);
    decoder.close();
}

namespace {
void logThroughFfmpeg(int level, const char* fmt, ...)
{
    va_list vl;
    va_start(vl, fmt);
    av_vlog(nullptr, level, fmt, vl);
    va_end(vl);
}
} // namespace

void TestVideoStream::ffmpegLogIsFormattedAndRouted()
{
    LogCapture capture;
    logThroughFfmpeg(AV_LOG_ERROR, "error while decoding MB %d %d, bytestream %s\n", 12, 34, "-5");
    logThroughFfmpeg(AV_LOG_WARNING, "warn %x\n", 255);
    logThroughFfmpeg(AV_LOG_INFO, "info\n");
    logThroughFfmpeg(AV_LOG_VERBOSE, "verbose\n");
    logThroughFfmpeg(AV_LOG_DEBUG, "debug\n");
    // A fatal library message must not take the program down.
    logThroughFfmpeg(AV_LOG_FATAL, "fatal %s\n", "thing");
    const QString longText(3000, 'z');
    logThroughFfmpeg(AV_LOG_ERROR, "%s", qPrintable(longText));

    QCOMPARE(capture.lines(QtCriticalMsg),
             QStringList({"[FFmpeg] error while decoding MB 12 34, bytestream -5", "[FFmpeg] fatal thing",
                          "[FFmpeg] " + longText}));
    QCOMPARE(capture.lines(QtWarningMsg), QStringList({"[FFmpeg] warn ff"}));
    QCOMPARE(capture.lines(QtInfoMsg), QStringList({"[FFmpeg] info"}));
    QVERIFY(capture.lines(QtDebugMsg).isEmpty());

    // A quieter library level silences the warnings too.
    const int previousLevel = av_log_get_level();
    av_log_set_level(AV_LOG_ERROR);
    logThroughFfmpeg(AV_LOG_WARNING, "quiet\n");
    av_log_set_level(previousLevel);
    QCOMPARE(capture.lines(QtWarningMsg).size(), 1);
}

QTEST_GUILESS_MAIN(TestVideoStream)
#include "tst_video_stream.moc"

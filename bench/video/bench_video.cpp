// Feeds a recorded 1080 x 2400, 60 fps, 8 Mbit/s H.264 stream through a loopback
// TCP connection into VideoSocket -> Stream -> Decoder -> frame callback and
// compares it with a bare libavcodec decode loop over the same packets.
// BENCH_VIDEO_DUMP=1 also prints the latency parts of every frame of the 60 fps run.

#include "BenchMeasure.h"
#include "BenchSocket.h"
#include "H264TestEncoder.h"
#include "decoder/Decoder.h"
#include "server/Stream.h"
#include "server/VideoSocket.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace dvk;
using BenchMeasure::Clock;
using BenchMeasure::msBetween;
using BenchMeasure::peakRssKiB;
using BenchMeasure::percentile;

namespace {

constexpr int kWidth = 1080;
constexpr int kHeight = 2400;
constexpr int kFps = 60;
constexpr int kRecordedFrames = 600;

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

long involuntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nivcsw;
}

QString loadAverage()
{
    QFile file("/proc/loadavg");
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(' ', 0, 2) : QString("?");
}

// ---- the recorded stream --------------------------------------------------------------

struct Recording
{
    QByteArray config;
    std::vector<QByteArray> frames;
};

bool makeRecording(const QString& path)
{
    const QString tmp = path + ".part";
    const QStringList args{"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                           QString("testsrc2=size=%1x%2:rate=%3").arg(kWidth).arg(kHeight).arg(kFps), "-frames:v",
                           QString::number(kRecordedFrames), "-c:v", "libx264", "-preset", "veryfast", "-tune",
                           "zerolatency", "-b:v", "8M", "-maxrate", "8M", "-bufsize", "4M", "-g",
                           QString::number(kRecordedFrames), "-pix_fmt", "yuv420p", "-f", "h264", tmp};
    std::printf("making %s with ffmpeg (once)...\n", qPrintable(path));
    std::fflush(stdout);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    ffmpeg.start("ffmpeg", args);
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed; is it installed with libx264?\n");
        return false;
    }
    QFile::remove(path);
    return QFile::rename(tmp, path);
}

int nalType(const QByteArray& au, int startCodeEnd)
{
    return startCodeEnd < au.size() ? (au[startCodeEnd] & 0x1f) : -1;
}

// Leading parameter sets become the configuration packet, as a device sends them.
void splitOffConfig(QByteArray& au, QByteArray& config)
{
    int pos = 0;
    for (;;) {
        int sc = au.indexOf(QByteArray("\x00\x00\x01", 3), pos);
        if (sc < 0) {
            return;
        }
        const int type = nalType(au, sc + 3);
        if (type != 7 && type != 8) {
            const int cut = sc > 0 && au.at(sc - 1) == '\0' ? sc - 1 : sc;
            config += au.left(cut);
            au.remove(0, cut);
            return;
        }
        pos = sc + 3;
    }
}

bool loadRecording(const QString& path, Recording& rec)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_H264));
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    int left = bytes.size();
    for (;;) {
        uint8_t* out = nullptr;
        int outSize = 0;
        const bool flushing = left == 0;
        const int used = av_parser_parse2(parser, ctx, &out, &outSize, data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        data += used;
        left -= used;
        if (outSize > 0) {
            QByteArray au(reinterpret_cast<const char*>(out), outSize);
            if (rec.frames.empty()) {
                splitOffConfig(au, rec.config);
            }
            rec.frames.push_back(au);
        }
        if (flushing && outSize == 0) {
            break;
        }
    }
    av_parser_close(parser);
    avcodec_free_context(&ctx);
    if (rec.config.isEmpty() || rec.frames.size() < size_t(kRecordedFrames)) {
        std::fprintf(stderr, "found %zu access units, %d configuration bytes\n", rec.frames.size(), rec.config.size());
        return false;
    }
    return true;
}

// ---- bare decode loop -------------------------------------------------------------------

struct BareResult
{
    double ms = 0;
    double cpuMs = 0;
    int pictures = 0;
};

BareResult bareDecode(const Recording& rec)
{
    BareResult result;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<QByteArray> packets = rec.frames;
    packets[0] = rec.config + packets[0];
    const auto start = Clock::now();
    const double cpuStart = threadCpuMs();
    for (size_t i = 0; i < packets.size(); ++i) {
        av_new_packet(pkt, packets[i].size());
        memcpy(pkt->data, packets[i].constData(), size_t(packets[i].size()));
        pkt->pts = pkt->dts = int64_t(i);
        avcodec_send_packet(ctx, pkt);
        av_packet_unref(pkt);
        while (avcodec_receive_frame(ctx, frame) == 0) {
            ++result.pictures;
        }
    }
    result.ms = msBetween(start, Clock::now());
    result.cpuMs = threadCpuMs() - cpuStart;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return result;
}

// What the stream's key-frame check costs per packet (it runs the H.264 parser over each one).
double parserMsPerPacket(const Recording& rec)
{
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_H264));
    parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    QByteArray first = rec.config + rec.frames[0];
    const auto start = Clock::now();
    for (size_t i = 0; i < rec.frames.size(); ++i) {
        const QByteArray& au = i == 0 ? first : rec.frames[i];
        uint8_t* out = nullptr;
        int outSize = 0;
        av_parser_parse2(parser, ctx, &out, &outSize, reinterpret_cast<const uint8_t*>(au.constData()), au.size(),
                         AV_NOPTS_VALUE, AV_NOPTS_VALUE, -1);
    }
    const double ms = msBetween(start, Clock::now()) / double(rec.frames.size());
    av_parser_close(parser);
    avcodec_free_context(&ctx);
    return ms;
}

// ---- the device side: a thread writing framed packets on a plain socket ---------------

class Feeder
{
public:
    Feeder(const Recording& rec, int frames, int fps) : m_rec(rec), m_frames(frames), m_fps(fps)
    {
        m_sentAt.resize(size_t(frames));
    }
    ~Feeder()
    {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    void start(quint16 port)
    {
        m_thread = std::thread([this, port] { run(port); });
    }
    void go() { m_go = true; }
    Clock::time_point sentAt(int i) const { return m_sentAt[size_t(i)]; }
    Clock::time_point firstByte() const { return m_firstByte; }

private:
    void run(quint16 port)
    {
        const int fd = BenchSocket::connectLoopback(port);
        if (fd < 0) {
            return;
        }
        while (!m_go) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_firstByte = Clock::now();
        QByteArray wire = framePacket(~quint64(0), m_rec.config);
        BenchSocket::sendAll(fd, wire);
        const auto period = std::chrono::nanoseconds(1000000000LL / std::max(m_fps, 1));
        for (int i = 0; i < m_frames; ++i) {
            if (m_fps > 0) {
                std::this_thread::sleep_until(m_firstByte + period * i);
            }
            const QByteArray& au = m_rec.frames[size_t(i) % m_rec.frames.size()];
            wire = framePacket(quint64(i) * 1000000 / kFps, au);
            if (!BenchSocket::sendAll(fd, wire, &m_sentAt[size_t(i)])) {
                break;
            }
        }
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }

    const Recording& m_rec;
    const int m_frames;
    const int m_fps;
    std::vector<Clock::time_point> m_sentAt;
    Clock::time_point m_firstByte;
    std::atomic<bool> m_go{false};
    std::thread m_thread;
};

bool resetPeakRss()
{
    QFile clear("/proc/self/clear_refs");
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// ---- the pipeline ----------------------------------------------------------------------

struct PipelineOptions
{
    int frames = kRecordedFrames;
    int fps = 0;       // 0: as fast as the pipeline takes them
    int guiFps = 0;    // above 0: the GUI thread is busy painting between pictures
    int rssMark = -1;  // record peak memory once this many packets have been decoded
};

struct PipelineResult
{
    double ms = 0;
    double streamCpuMs = 0;
    long streamPreempted = 0; // the stream thread lost the CPU to another thread this often
    quint32 shown = 0;
    quint32 skipped = 0;
    int pushed = 0;
    std::vector<Clock::time_point> callbackAt;
    std::vector<double> pushMs;
    // Paced runs where every picture was shown: last byte sent -> callback, with and without decoding.
    std::vector<double> totalMs;
    std::vector<double> addedMs;
    std::vector<double> toPushMs;     // last byte sent -> packet handed to the decoder
    std::vector<double> toCallbackMs; // picture published -> frame callback
    std::vector<quint32> fpsReports;
    long rssAtMark = -1;
    long rssAtEnd = -1;
};

PipelineResult runPipeline(const Recording& rec, const PipelineOptions& opt)
{
    PipelineResult result;
    result.pushMs.resize(size_t(opt.frames));
    std::vector<Clock::time_point> pushStart(size_t(opt.frames));
    std::vector<Clock::time_point> pushEnd(size_t(opt.frames));
    double streamCpuStart = -1;
    long switchesStart = 0;
    result.callbackAt.reserve(size_t(opt.frames));

    VideoServer server;
    server.listen(QHostAddress::LocalHost, 0);
    Feeder feeder(rec, opt.frames, opt.fps);
    feeder.start(server.serverPort());
    if (!server.waitForNewConnection(5000)) {
        std::fprintf(stderr, "no connection\n");
        return result;
    }
    QPointer<VideoSocket> socket = qobject_cast<VideoSocket*>(server.nextPendingConnection());

    QObject context;
    Clock::time_point lastPaint = Clock::now();
    bool paintPending = false;
    Decoder decoder([&](int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) {
        result.callbackAt.push_back(Clock::now());
        if (opt.guiFps > 0 && !paintPending) {
            // What a display bound to a slower refresh does: the thread is busy
            // until the next picture can be painted.
            paintPending = true;
            QTimer::singleShot(0, &context, [&] {
                lastPaint = std::max(lastPaint + std::chrono::microseconds(1000000 / opt.guiFps), Clock::now());
                std::this_thread::sleep_until(lastPaint);
                paintPending = false;
            });
        }
    });
    QObject::connect(&decoder, &Decoder::updateFPS, [&](quint32 fps) { result.fpsReports.push_back(fps); });
    decoder.open();

    Stream stream([socket](quint8* buf, qint32 size) -> qint32 {
        return socket ? socket->subThreadRecvData(buf, size) : 0;
    });
    std::atomic<int> pushed{0};
    QObject::connect(
        &stream, &Stream::getFrame, &stream,
        [&](AVPacket* packet) {
            const auto t0 = Clock::now();
            if (streamCpuStart < 0) {
                streamCpuStart = threadCpuMs();
                switchesStart = involuntarySwitches();
            }
            if (!decoder.push(packet)) {
                std::fprintf(stderr, "push failed\n");
            }
            const auto t1 = Clock::now();
            const int n = pushed.load() + 1;
            if (size_t(n) <= result.pushMs.size()) {
                result.pushMs[size_t(n - 1)] = msBetween(t0, t1);
                pushStart[size_t(n - 1)] = t0;
                pushEnd[size_t(n - 1)] = t1;
            }
            result.streamCpuMs = threadCpuMs() - streamCpuStart;
            result.streamPreempted = involuntarySwitches() - switchesStart;
            pushed = n;
            if (n == opt.rssMark) {
                result.rssAtMark = peakRssKiB();
            }
        },
        Qt::DirectConnection);
    QEventLoop loop;
    QObject::connect(&stream, &Stream::onStreamStop, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    stream.startDecode();
    feeder.go();
    loop.exec();
    const auto end = Clock::now();
    stream.stopDecode();
    QCoreApplication::processEvents();
    result.ms = msBetween(feeder.firstByte(), end);
    result.shown = decoder.renderedFrames();
    result.skipped = decoder.skippedFrames();
    result.pushed = pushed;
    result.rssAtEnd = peakRssKiB();
    decoder.close();
    delete socket;
    // Every picture shown means callback i belongs to packet i.
    if (opt.fps > 0 && result.callbackAt.size() == size_t(opt.frames) && result.pushed == opt.frames) {
        for (int i = 0; i < opt.frames; ++i) {
            const double total = msBetween(feeder.sentAt(i), result.callbackAt[size_t(i)]);
            result.totalMs.push_back(total);
            result.addedMs.push_back(total - result.pushMs[size_t(i)]);
            result.toPushMs.push_back(msBetween(feeder.sentAt(i), pushStart[size_t(i)]));
            result.toCallbackMs.push_back(msBetween(pushEnd[size_t(i)], result.callbackAt[size_t(i)]));
        }
    }
    return result;
}


} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Stream::init();
    av_log_set_level(AV_LOG_ERROR);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type >= QtWarningMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        }
    });

    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("bench_video_stream.h264");
    if (!QFileInfo::exists(path) && !makeRecording(path)) {
        return 1;
    }
    Recording rec;
    if (!loadRecording(path, rec)) {
        std::fprintf(stderr, "could not split %s into access units\n", qPrintable(path));
        return 1;
    }
    size_t bytes = size_t(rec.config.size());
    for (const QByteArray& f : rec.frames) {
        bytes += size_t(f.size());
    }
    std::printf("stream: %dx%d, %zu frames, %.2f Mbit/s at %d fps\n", kWidth, kHeight, rec.frames.size(),
                double(bytes) * 8 / (double(rec.frames.size()) / kFps) / 1e6, kFps);

    // Throughput in paired rounds: the machine's speed drifts between rounds, so each round's ratio
    // compares two runs made back to back, in alternating order, and the median of those ratios counts.
    constexpr int kRounds = 7;
    std::vector<double> ratios;
    double bareMs = 1e300;
    double pipeMs = 1e300;
    int barePictures = 0;
    for (int round = 0; round < kRounds; ++round) {
        BareResult bare;
        PipelineResult pipe;
        if (round % 2 == 0) {
            bare = bareDecode(rec);
            pipe = runPipeline(rec, {});
        } else {
            pipe = runPipeline(rec, {});
            bare = bareDecode(rec);
        }
        barePictures = bare.pictures;
        bareMs = std::min(bareMs, bare.ms);
        pipeMs = std::min(pipeMs, pipe.ms);
        ratios.push_back(bare.ms / pipe.ms);
        std::printf("round %d: bare %.0f ms (cpu %.0f ms, %d pictures), pipeline %.0f ms (stream thread cpu %.0f ms, "
                    "%d packets, %u shown, %u skipped), ratio %.3f\n",
                    round + 1, bare.ms, bare.cpuMs, bare.pictures, pipe.ms, pipe.streamCpuMs, pipe.pushed, pipe.shown,
                    pipe.skipped, ratios.back());
        std::fflush(stdout);
    }
    std::sort(ratios.begin(), ratios.end());
    const double medianRatio = ratios[ratios.size() / 2];

    std::printf("key-frame parser pass: %.3f ms per packet\n", parserMsPerPacket(rec));

    // Latency while keeping up with a real-time 60 fps device.
    const PipelineResult live = runPipeline(rec, {kRecordedFrames, kFps, 0, -1});
    const std::vector<double>& added = live.addedMs;
    std::printf("60 fps: %zu callbacks for %d packets; last byte -> callback median %.3f ms, p99 %.3f ms; "
                "decoding median %.3f ms; stream thread preempted %ld times; load average %s\n",
                live.callbackAt.size(), live.pushed, percentile(live.totalMs, 0.5), percentile(live.totalMs, 0.99),
                percentile(live.pushMs, 0.5), live.streamPreempted, qPrintable(loadAverage()));
    std::printf("60 fps: last byte -> decoder median %.3f ms, p99 %.3f ms; published -> callback median %.3f ms, "
                "p99 %.3f ms\n",
                percentile(live.toPushMs, 0.5), percentile(live.toPushMs, 0.99), percentile(live.toCallbackMs, 0.5),
                percentile(live.toCallbackMs, 0.99));

    if (qEnvironmentVariableIsSet("BENCH_VIDEO_DUMP")) {
        for (size_t i = 0; i < live.totalMs.size(); ++i) {
            std::printf("%zu total %.3f push %.3f toPush %.3f toCallback %.3f\n", i, live.totalMs[i], live.pushMs[i],
                        live.toPushMs[i], live.toCallbackMs[i]);
        }
    }
    // A GUI thread that takes only 30 pictures a second.
    const PipelineResult slow = runPipeline(rec, {kRecordedFrames, kFps, 30, -1});
    QStringList fps;
    for (quint32 f : slow.fpsReports) {
        fps << QString::number(f);
    }
    std::printf("30 fps GUI: frame rate reports %s\n", qPrintable(fps.join(' ')));

    // Memory over a long run.
    const bool peakReset = resetPeakRss();
    const PipelineResult longRun = runPipeline(rec, {10000, 0, 0, 1000});

    std::printf("\n");
    std::printf("throughput: pipeline %.1f fps, bare decode %.1f fps (best rounds), median paired ratio %.3f "
                "(target >= 0.95)\n",
                kRecordedFrames * 1000.0 / pipeMs, barePictures * 1000.0 / bareMs, medianRatio);
    if (added.empty()) {
        std::printf("added latency: not measured, pictures were skipped at 60 fps\n");
    } else {
        std::printf("added latency (last byte -> frame callback, less decoding): median %.3f ms, p99 %.3f ms "
                    "(targets < 1 ms, < 4 ms)\n",
                    percentile(added, 0.5), percentile(added, 0.99));
    }
    std::printf("30 fps GUI: %u shown, %u skipped, %d decoded, %d unaccounted\n", slow.shown, slow.skipped,
                slow.pushed, slow.pushed - int(slow.shown + slow.skipped));
    std::printf("peak RSS%s: %.1f MiB after 1000 frames, %.1f MiB after 10000, growth %ld KiB (target <= 2048)\n",
                peakReset ? "" : " (process-wide)", longRun.rssAtMark / 1024.0, longRun.rssAtEnd / 1024.0,
                longRun.rssAtEnd - longRun.rssAtMark);
    Stream::deInit();
    return 0;
}

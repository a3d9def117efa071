// The simulated device's picture, 1080 x 2400 at 60 fps, played through a loopback socket into
// VideoSocket -> Stream -> Decoder -> VideoForm shown at 540 x 1200, while mouse presses on the form
// go to a simulated device connected through the registry. Prints frame accounting, GUI-thread time
// for upload and paint, packet-to-paint latency, resident memory, and press-to-socket latency.
// Usage: bench_render [FRAMES]   (default 10000; run under Xvfb with a screen at least 1200 high)

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "AppPath.h"
#include "BenchMeasure.h"
#include "BenchSocket.h"
#include "H264TestEncoder.h"
#include "QYUVOpenGLWidget.h"
#include "SimDevice.h"
#include "TestPattern.h"
#include "VideoEncoder.h"
#include "VideoForm.h"
#include "adb/AdbProcess.h"
#include "decoder/Decoder.h"
#include "device/IDeviceManage.h"
#include "server/Server.h"
#include "server/Stream.h"
#include "server/VideoSocket.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using BenchMeasure::Clock;
using BenchMeasure::msBetween;
using BenchMeasure::percentile;
using BenchMeasure::rssKiB;

namespace {

const QSize kFrameSize(1080, 2400);
const QSize kFormSize(540, 1200);
constexpr int kFps = 60;
constexpr int kRecordedFrames = 600;
constexpr int kPressEveryMs = 200;

void printStat(const char* what, const std::vector<double>& values)
{
    std::printf("%-46s median %7.3f ms   p99 %7.3f ms   (%zu samples)\n", what, percentile(values, 0.5),
                percentile(values, 0.99), values.size());
}

// The simulated screen with its frame number in the bar code, encoded as the simulated device does.
bool encodeRecording(QByteArray& config, std::vector<QByteArray>& frames)
{
    sim::VideoEncoder encoder;
    QString error;
    if (!encoder.open(kFrameSize, kFps, 8000000, QString(), QString(), &error)) {
        std::fprintf(stderr, "encoder: %s\n", qPrintable(error));
        return false;
    }
    sim::TestPattern pattern;
    for (int i = 0; i < kRecordedFrames; ++i) {
        pattern.draw(encoder.picture(), quint32(i + 1));
        QList<sim::VideoEncoder::Packet> packets;
        if (!encoder.encode(qint64(i) * 1000000 / kFps, packets, &error)) {
            std::fprintf(stderr, "encoder: %s\n", qPrintable(error));
            return false;
        }
        for (const auto& packet : packets) {
            frames.push_back(packet.data);
        }
    }
    config = encoder.configuration();
    return frames.size() == size_t(kRecordedFrames);
}

// The device side of the video connection: framed packets at the device's pace on a plain socket.
class Feeder
{
public:
    Feeder(const QByteArray& config, const std::vector<QByteArray>& frames, int count)
        : m_config(config), m_frames(frames), m_lastByte(size_t(count)), m_count(count)
    {
    }
    ~Feeder()
    {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    void start(quint16 port) { m_thread = std::thread([this, port] { run(port); }); }
    Clock::time_point lastByte(int i) const { return m_lastByte[size_t(i)]; }

private:
    void run(quint16 port)
    {
        const int fd = BenchSocket::connectLoopback(port);
        if (fd < 0) {
            return;
        }
        BenchSocket::sendAll(fd, framePacket(~quint64(0), m_config));
        const auto start = Clock::now();
        const auto period = std::chrono::nanoseconds(1000000000LL / kFps);
        for (int i = 0; i < m_count; ++i) {
            std::this_thread::sleep_until(start + period * i);
            const QByteArray wire = framePacket(quint64(i) * 1000000 / kFps, m_frames[size_t(i) % m_frames.size()]);
            if (!BenchSocket::sendAll(fd, wire, &m_lastByte[size_t(i)])) {
                break;
            }
        }
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }

    const QByteArray m_config;
    const std::vector<QByteArray>& m_frames;
    std::vector<Clock::time_point> m_lastByte;
    const int m_count;
    std::thread m_thread;
};

// Times every paint of the renderer from the outside: the paint event runs inside the filter.
class PaintTimer : public QObject
{
public:
    std::function<void(Clock::time_point, Clock::time_point)> onPaint;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        const auto start = Clock::now();
        watched->event(event);
        onPaint(start, Clock::now());
        return true;
    }
};

struct Figures
{
    int pushed = 0;
    int uploads = 0;
    int painted = 0;
    int coalesced = 0;
    int unreadable = 0;
    std::vector<double> uploadMs, paintMs, composeMs, toCallbackMs, toPaintEndMs, toSwapMs, pressMs;
    long rssAt1000 = -1;
    long rssAt10000 = -1;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int frameCount = argc > 1 ? std::max(100, atoi(argv[1])) : 10000;
    QTemporaryDir folders;
    QDir(folders.path()).mkpath("config");
    qputenv("VADIZEDE_CONFIG_PATH", QDir(folders.path()).filePath("config").toLocal8Bit());
    setAppPath(folders.path());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    dvk::Stream::init();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        }
    });

    std::printf("encoding %d frames of %dx%d ...\n", kRecordedFrames, kFrameSize.width(), kFrameSize.height());
    std::fflush(stdout);
    QByteArray config;
    std::vector<QByteArray> recorded;
    if (!encodeRecording(config, recorded)) {
        return 1;
    }

    // The device whose control socket takes the mouse presses.
    SimDevice sim;
    dvk::DeviceParams params;
    params.serial = sim.serial();
    params.serverLocalPath = SimDevice::serverFilePath();
    params.serverVersion = SimDevice::serverVersion();
    params.localPort = SimDevice::freePort();
    params.maxFps = 15;
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);
    if (!registry.connectDevice(params) || !connected.wait(15000) || !connected.first().at(0).toBool()) {
        std::fprintf(stderr, "the simulated device did not connect\n");
        return 1;
    }
    QPointer<dvk::IDevice> device = registry.getDevice(sim.serial());
    dvk::Server* server = device->findChild<dvk::Server*>();
    QTcpSocket* controlSocket = server ? server->getControlSocket() : nullptr;
    if (!controlSocket) {
        std::fprintf(stderr, "no control socket\n");
        return 1;
    }

    VideoForm form(nullptr);
    form.setSerial(sim.serial());
    form.resize(kFormSize);
    form.show();
    auto* video = form.findChild<QYUVOpenGLWidget*>();

    Figures figures;
    Feeder feeder(config, recorded, frameCount);
    VideoServer videoServer;
    videoServer.listen(QHostAddress::LocalHost, 0);
    feeder.start(videoServer.serverPort());
    if (!videoServer.waitForNewConnection(5000)) {
        std::fprintf(stderr, "no video connection\n");
        return 1;
    }
    QPointer<dvk::VideoSocket> socket = qobject_cast<dvk::VideoSocket*>(videoServer.nextPendingConnection());

    // Which packet the picture on the GUI thread came from: its bar code, unrolled over the loops.
    int lastIndex = -1;
    int uploadedIndex = -1;
    dvk::Decoder decoder([&](int width, int height, uint8_t* y, uint8_t* u, uint8_t* v, int ly, int lu, int lv) {
        const auto start = Clock::now();
        const quint32 code = sim::TestPattern::readCode(y, ly, QSize(width, height));
        int index = lastIndex + 1;
        while (index < frameCount && quint32(index % kRecordedFrames + 1) != code) {
            ++index;
        }
        if (index >= frameCount) {
            ++figures.unreadable;
            index = lastIndex + 1;
        }
        lastIndex = index;
        figures.toCallbackMs.push_back(msBetween(feeder.lastByte(index), start));
        const auto uploadStart = Clock::now();
        form.onFrame(width, height, y, u, v, ly, lu, lv);
        figures.uploadMs.push_back(msBetween(uploadStart, Clock::now()));
        ++figures.uploads;
        if (uploadedIndex >= 0) {
            ++figures.coalesced;
        }
        uploadedIndex = index;
    });
    decoder.open();

    int paintedIndex = -1;
    Clock::time_point paintStart;
    PaintTimer paintTimer;
    paintTimer.onPaint = [&](Clock::time_point start, Clock::time_point end) {
        if (uploadedIndex < 0) {
            return;
        }
        figures.paintMs.push_back(msBetween(start, end));
        figures.toPaintEndMs.push_back(msBetween(feeder.lastByte(uploadedIndex), end));
        ++figures.painted;
        paintedIndex = uploadedIndex;
        paintStart = start;
        uploadedIndex = -1;
    };
    video->installEventFilter(&paintTimer);
    // The window's composition of the painted picture, up to the return of its buffer swap.
    QObject::connect(video, &QOpenGLWidget::frameSwapped, &app, [&]() {
        if (paintedIndex < 0) {
            return;
        }
        const auto now = Clock::now();
        figures.composeMs.push_back(msBetween(paintStart, now));
        figures.toSwapMs.push_back(msBetween(feeder.lastByte(paintedIndex), now));
        paintedIndex = -1;
    });

    dvk::Stream stream([socket](quint8* buf, qint32 size) -> qint32 {
        return socket ? socket->subThreadRecvData(buf, size) : 0;
    });
    std::atomic<int> pushed{0};
    QObject::connect(
        &stream, &dvk::Stream::getFrame, &stream,
        [&](AVPacket* packet) {
            decoder.push(packet);
            ++pushed;
        },
        Qt::DirectConnection);
    bool streamEnded = false;
    QObject::connect(&stream, &dvk::Stream::onStreamStop, &app, [&]() { streamEnded = true; });

    // Presses at the video's centre while the pictures stream; each one timed to its bytes on the socket.
    Clock::time_point pressAt;
    bool pressPending = false;
    QObject::connect(controlSocket, &QTcpSocket::bytesWritten, &app, [&]() {
        if (pressPending) {
            figures.pressMs.push_back(msBetween(pressAt, Clock::now()));
            pressPending = false;
        }
    });
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, &app, [&]() {
        const QPointF centre(form.width() / 2.0, form.height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, centre, form.mapToGlobal(centre.toPoint()), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, form.mapToGlobal(centre.toPoint()), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        pressPending = true;
        pressAt = Clock::now();
        QApplication::sendEvent(&form, &press);
        QTimer::singleShot(20, &form, [&form, release]() mutable { QApplication::sendEvent(&form, &release); });
    });
    presser.start(kPressEveryMs);

    QTimer memory;
    QObject::connect(&memory, &QTimer::timeout, &app, [&]() {
        if (figures.rssAt1000 < 0 && pushed >= 1000) {
            figures.rssAt1000 = rssKiB();
        }
        if (figures.rssAt10000 < 0 && pushed >= 10000) {
            figures.rssAt10000 = rssKiB();
        }
    });
    memory.start(50);

    std::printf("streaming %d frames at %d fps into a %dx%d form ...\n", frameCount, kFps, kFormSize.width(),
                kFormSize.height());
    std::fflush(stdout);
    stream.startDecode();
    while (!streamEnded) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    presser.stop();
    stream.stopDecode();
    QCoreApplication::processEvents();
    figures.pushed = pushed;
    // The stream can end between two samples.
    if (figures.rssAt10000 < 0 && pushed >= 10000) {
        figures.rssAt10000 = rssKiB();
    }
    const quint32 bufferSkipped = decoder.skippedFrames();

    std::printf("frames decoded %d, painted %d, skipped %u (frame buffer %u, uploaded but painted over %d); "
                "painted + skipped - decoded = %d\n",
                figures.pushed, figures.painted, bufferSkipped + quint32(figures.coalesced), bufferSkipped,
                figures.coalesced, figures.painted + int(bufferSkipped) + figures.coalesced - figures.pushed);
    if (figures.unreadable > 0) {
        std::printf("pictures whose frame number could not be read: %d\n", figures.unreadable);
    }
    printStat("GUI thread per frame, upload (onFrame)", figures.uploadMs);
    printStat("GUI thread per frame, paint (paint event)", figures.paintMs);
    printStat("GUI thread, paint start -> buffer swap returned", figures.composeMs);
    printStat("last packet byte -> frame callback (headless)", figures.toCallbackMs);
    printStat("last packet byte -> end of paintGL", figures.toPaintEndMs);
    printStat("last packet byte -> buffer swap returned", figures.toSwapMs);
    std::printf("%-46s median %7.3f ms\n", "added by upload and paint",
                percentile(figures.toPaintEndMs, 0.5) - percentile(figures.toCallbackMs, 0.5));
    std::printf("resident memory after 1000 frames %ld KiB, after 10000 frames %ld KiB, growth %ld KiB\n",
                figures.rssAt1000, figures.rssAt10000,
                figures.rssAt10000 >= 0 && figures.rssAt1000 >= 0 ? figures.rssAt10000 - figures.rssAt1000 : -1);
    printStat("mouse press -> bytes written on control socket", figures.pressMs);

    video->removeEventFilter(&paintTimer);
    registry.disconnectDevice(sim.serial());
    return 0;
}

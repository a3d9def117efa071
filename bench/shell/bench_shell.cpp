// The two ways of reaching a device side by side, against the simulated device at 1080 x 2400 and
// 60 fps: our server's framed stream and control socket, and the device's own screen recorder and
// input command. For each: pictures per second, the delay from the last byte of a picture read to
// its frame callback, the delay from an input event to its bytes or command line written, and this
// process's CPU time per second of mirroring.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

#include "BenchMeasure.h"
#include "SimDevice.h"
#include "SimDeviceParams.h"
#include "adb/AdbProcess.h"
#include "device/Device.h"
#include "decoder/Decoder.h"
#include "device/DeviceObserver.h"
#include "server/Server.h"
#include "server/Stream.h"
#include "server/VideoSocket.h"
#include "shell/ScreenRecordStream.h"

using BenchMeasure::Clock;

namespace {

const QSize kDisplay(1080, 2400);
constexpr int kFps = 60;
constexpr int kTaps = 60;
constexpr int kTapGapMs = 50;

int64_t nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
        + usage.ru_stime.tv_usec / 1e3;
}

double median(const std::vector<double>& v)
{
    return BenchMeasure::percentile(v, 0.5);
}

void waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// Pairs each frame callback with the last picture decoded before it; a picture replaced before
// it was shown is not paired.
class FrameTimes
{
public:
    void decoded(int64_t readUs) { m_latestRead = readUs; }
    void shown()
    {
        const int64_t read = m_latestRead;
        if (read == 0 || read == m_lastPaired) {
            return;
        }
        m_lastPaired = read;
        m_delaysMs.push_back((nowUs() - read) / 1000.0);
    }
    const std::vector<double>& delaysMs() const { return m_delaysMs; }

private:
    std::atomic<int64_t> m_latestRead{0};
    int64_t m_lastPaired = 0;
    std::vector<double> m_delaysMs;
};

// The stream, the decoder and the frame callback as a device wires them, with the time each
// picture's last byte was read taken before it is decoded.
std::vector<double> frameDelays(dvk::Stream& stream, bool stamped, int seconds, size_t* pictures,
                                const std::function<void()>& start, const std::function<void()>& stop)
{
    FrameTimes times;
    std::vector<double> toDecoderMs;
    dvk::Decoder decoder([&times](int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) { times.shown(); });
    decoder.open();
    QObject::connect(
        &stream, &dvk::Stream::getFrame, &stream,
        [&](AVPacket* packet) {
            // The framed stream hands a packet out as soon as its last byte is read; the recorder's
            // packets carry the time their last byte arrived.
            const int64_t read = stamped ? packet->pts : nowUs();
            toDecoderMs.push_back((nowUs() - read) / 1000.0);
            decoder.push(packet);
            times.decoded(read);
        },
        Qt::DirectConnection);
    start();
    waitUntil([]() { return false; }, seconds * 1000);
    // The stream ends before the decoder it feeds.
    stop();
    *pictures = decoder.renderedFrames();
    std::printf("%s: last byte -> decoder median %.3f ms over %zu packets\n", stamped ? "shell" : "server",
                median(toDecoderMs), toDecoderMs.size());
    decoder.close();
    return times.delaysMs();
}

struct Result
{
    double fps = 0;
    double frameMedianMs = -1;
    double inputMedianMs = -1;
    double cpuPerSecondMs = 0;
    size_t pictures = 0;
};

// Where input leaves this process: the control socket or the shell's standard input.
QIODevice* inputChannel(dvk::Device& device)
{
    for (QProcess* process : device.findChildren<QProcess*>()) {
        if (process->arguments().endsWith("shell")) {
            return process;
        }
    }
    auto* server = device.findChild<dvk::Server*>();
    return server ? server->getControlSocket() : nullptr;
}

double medianInputMs(dvk::Device& device, const QSize& frame)
{
    QIODevice* channel = inputChannel(device);
    if (!channel) {
        return -1;
    }
    std::vector<double> delays;
    int64_t sentUs = 0;
    bool waiting = false;
    QObject::connect(channel, &QIODevice::bytesWritten, channel, [&](qint64) {
        if (waiting) {
            delays.push_back((nowUs() - sentUs) / 1000.0);
            waiting = false;
        }
    });
    const QPointF centre(frame.width() / 2.0, frame.height() / 2.0);
    for (int i = 0; i < kTaps; ++i) {
        QMouseEvent press(QEvent::MouseButtonPress, centre, centre, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, centre, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        device.mouseEvent(&press, frame, frame);
        // The shell sends a tap at the release; the socket sends both, and the release is timed.
        waitUntil([&]() { return !waiting; }, 10);
        sentUs = nowUs();
        waiting = true;
        device.mouseEvent(&release, frame, frame);
        waitUntil([&]() { return !waiting; }, 1000);
        waiting = false;
        waitUntil([]() { return false; }, kTapGapMs);
    }
    return median(delays);
}

dvk::DeviceParams benchParams(const QString& serial, const QString& connection)
{
    dvk::DeviceParams params = simParams(serial);
    params.maxFps = kFps;
    params.connection = connection;
    return params;
}

// A whole device: pictures shown per second, this process's CPU time, and input.
Result mirror(const QString& serial, const QString& connection, int seconds)
{
    Result result;
    dvk::Device device(benchParams(serial, connection));
    struct Counter : dvk::DeviceObserver
    {
        void onFrame(int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) override { ++frames; }
        std::atomic<int> frames{0};
    } counter;
    device.registerDeviceObserver(&counter);
    bool connected = false;
    QSize frame;
    QObject::connect(&device, &dvk::Device::deviceConnected,
                     [&](bool ok, const QString&, const QString&, const QSize& size) {
                         connected = ok;
                         frame = size;
                     });
    device.connectDevice();
    waitUntil([&]() { return connected; }, 20000);
    if (!connected) {
        std::fprintf(stderr, "%s: did not connect\n", qPrintable(connection));
        return result;
    }
    waitUntil([]() { return false; }, 1000);
    const int before = counter.frames;
    const double cpuBefore = processCpuMs();
    const auto start = Clock::now();
    waitUntil([]() { return false; }, seconds * 1000);
    const double elapsedS = std::chrono::duration<double>(Clock::now() - start).count();
    result.cpuPerSecondMs = (processCpuMs() - cpuBefore) / elapsedS;
    result.fps = double(counter.frames - before) / elapsedS;
    result.inputMedianMs = medianInputMs(device, frame);
    device.disconnectDevice();
    return result;
}

// From asking for a connection to the first picture reaching an observer, the median of a few
// connections: what the user waits for after plugging in.
double firstPictureMs(const QString& serial, const QString& connection)
{
    constexpr int kRounds = 3;
    std::vector<double> waits;
    for (int round = 0; round < kRounds; ++round) {
        dvk::Device device(benchParams(serial, connection));
        struct FirstFrame : dvk::DeviceObserver
        {
            void onFrame(int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) override
            {
                if (at == Clock::time_point()) {
                    at = Clock::now();
                }
            }
            Clock::time_point at;
        } first;
        device.registerDeviceObserver(&first);
        const auto start = Clock::now();
        device.connectDevice();
        waitUntil([&]() { return first.at != Clock::time_point(); }, 20000);
        device.deRegisterDeviceObserver(&first);
        device.disconnectDevice();
        if (first.at == Clock::time_point()) {
            std::fprintf(stderr, "%s on %s: no picture\n", qPrintable(connection), qPrintable(serial));
            return -1;
        }
        waits.push_back(std::chrono::duration<double, std::milli>(first.at - start).count());
    }
    return median(waits);
}

double serverFrameMedian(const QString& serial, int seconds, size_t* pictures)
{
    const dvk::DeviceParams device = benchParams(serial, "server");
    dvk::Server server;
    bool started = false;
    QObject::connect(&server, &dvk::Server::serverStarted, [&](bool ok) { started = ok; });
    server.start(device);
    waitUntil([&]() { return started; }, 20000);
    QPointer<dvk::VideoSocket> socket = server.getVideoSocket();
    if (!started || !socket) {
        return -1;
    }
    dvk::Stream stream([socket](quint8* buf, qint32 size) { return socket ? socket->subThreadRecvData(buf, size) : 0; });
    const std::vector<double> delays = frameDelays(
        stream, false, seconds, pictures, [&]() { stream.startDecode(); },
        [&]() {
            server.stop();
            stream.stopDecode();
        });
    return median(delays);
}

double shellFrameMedian(const QString& serial, int seconds, size_t* pictures)
{
    dvk::ScreenRecordStream stream(SimDevice::adbPath(), serial,
                                   dvk::ScreenRecordStream::recordArguments(dvk::defaults::kBitRate, QSize()));
    const std::vector<double> delays = frameDelays(
        stream, true, seconds, pictures, [&]() { stream.startRecording(); },
        [&]() {
            stream.stop();
            stream.wait();
        });
    return median(delays);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type >= QtCriticalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        }
    });
    dvk::Stream::init();
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    SimDevice sim(false);
    SimDevice::Options options;
    options.serial = "BENCH1";
    options.screen = kDisplay;
    options.sizeLimit = 0;
    options.properties = QJsonObject{{"recordFps", kFps}};
    if (!sim.isValid() || !sim.addDevice(options)) {
        std::fprintf(stderr, "no simulated device\n");
        return 1;
    }
    std::printf("simulated device %dx%d at %d fps, %d s per connection\n", kDisplay.width(), kDisplay.height(), kFps,
                seconds);
    Result server = mirror(options.serial, "server", seconds);
    Result shell = mirror(options.serial, "shell", seconds);
    server.frameMedianMs = serverFrameMedian(options.serial, seconds, &server.pictures);
    shell.frameMedianMs = shellFrameMedian(options.serial, seconds, &shell.pictures);
    std::printf("%-8s %12s %22s %20s %14s %20s\n", "method", "pictures/s", "last byte->frame (ms)",
                "input->written (ms)", "CPU ms per s", "pictures (latency)");
    for (const auto& row : {std::make_pair("server", server), std::make_pair("shell", shell)}) {
        std::printf("%-8s %12.1f %22.3f %20.3f %14.1f %20zu\n", row.first, row.second.fps, row.second.frameMedianMs,
                    row.second.inputMedianMs, row.second.cpuPerSecondMs, row.second.pictures);
    }
    SimDevice::Options still = options;
    still.serial = "BENCH2";
    still.properties.insert("stillScreen", true);
    if (!sim.addDevice(still)) {
        std::fprintf(stderr, "no still simulated device\n");
        return 1;
    }
    const double serverFirst = firstPictureMs(options.serial, "server");
    const double shellFirst = firstPictureMs(options.serial, "shell");
    const double stillFirst = firstPictureMs(still.serial, "shell");
    std::printf("connect -> first picture, median of 3 (ms): server %.0f, shell %.0f, shell on a still screen %.0f "
                "(target < 2000; still / server %.2f)\n",
                serverFirst, shellFirst, stillFirst, serverFirst > 0 ? stillFirst / serverFirst : 0.0);
    std::printf("shell - server, last byte->frame median: %.3f ms (target within 1 ms); shell input median %.3f ms "
                "(target < 1 ms)\n",
                shell.frameMedianMs - server.frameMedianMs, shell.inputMedianMs);
    dvk::Stream::deInit();
    return 0;
}

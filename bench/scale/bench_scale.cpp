// Connects 1, 2, 4 and 8 simulated 720 x 1280, 30 fps devices at once through the registry,
// without windows, each on its own local port; decodes and counts their pictures for a while
// and prints what each count of devices costs. Each count runs in a child process of its own,
// so one round's memory does not colour the next.
//   bench_scale [SECONDS=30] [COUNT...=1 2 4 8]

#include "BenchMeasure.h"
#include "BenchWait.h"
#include "SimDevice.h"
#include "adb/AdbProcess.h"
#include "device/DeviceManage.h"
#include "device/DeviceObserver.h"
#include "device/IDevice.h"
#include "decoder/Decoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 1280;
constexpr int kFps = 30;
constexpr int kBringUpLimitMs = 60000;

class CountingObserver : public dvk::DeviceObserver
{
public:
    void onFrame(int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) override { ++shown; }
    quint64 shown = 0;
};

struct Connection
{
    QString serial;
    qint64 bringUpMs = -1;
    bool ok = false;
    CountingObserver observer;
    quint32 rendered = 0;
    quint32 skipped = 0;
};

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

using BenchWait::spin;
using BenchWait::waitUntil;

// The frames each server says it sent, from its exit event.
quint64 framesSent(const SimDevice& sim, const QString& serial)
{
    quint64 frames = 0;
    for (const QJsonObject& event : sim.serverLog(serial)) {
        if (event.value("event").toString() == "exit") {
            frames += static_cast<quint64>(event.value("frames").toDouble());
        }
    }
    return frames;
}

void bringUp(dvk::DeviceManage& manage, std::vector<std::unique_ptr<Connection>>& connections)
{
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&manage, &dvk::IDeviceManage::deviceConnected,
                     [&](bool success, const QString& serial, const QString&, const QSize&) {
                         for (auto& c : connections) {
                             if (c->serial == serial) {
                                 c->bringUpMs = clock.elapsed();
                                 c->ok = success;
                             }
                         }
                     });
    for (auto& c : connections) {
        dvk::DeviceParams params;
        params.serial = c->serial;
        params.serverLocalPath = SimDevice::serverFilePath();
        params.serverVersion = SimDevice::serverVersion();
        params.localPort = SimDevice::freePort();
        params.maxSize = kHeight;
        params.maxFps = kFps;
        if (!manage.connectDevice(params)) {
            fprintf(stderr, "%s: the registry refused the connection\n", qPrintable(c->serial));
        }
    }
    waitUntil([&] {
        for (auto& c : connections) {
            if (c->bringUpMs < 0) {
                return false;
            }
        }
        return true;
    }, kBringUpLimitMs);
    for (auto& c : connections) {
        if (c->ok) {
            manage.getDevice(c->serial)->registerDeviceObserver(&c->observer);
        }
    }
}

// One count of devices, in this process: prints one result line for the parent to collect.
int runRound(int count, int seconds)
{
    SimDevice sim(false);
    std::vector<std::unique_ptr<Connection>> connections;
    for (int i = 0; i < count; ++i) {
        SimDevice::Options options;
        options.serial = QString("SCALE%1").arg(i, 2, 10, QChar('0'));
        options.screen = QSize(kWidth, kHeight);
        options.sizeLimit = 0;
        sim.addDevice(options);
        connections.push_back(std::make_unique<Connection>());
        connections.back()->serial = options.serial;
    }
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    const double rssBefore = BenchMeasure::rssKiB() / 1024.0;
    dvk::DeviceManage manage;
    bringUp(manage, connections);

    // Settle, then measure over the given time only.
    spin(2000);
    std::map<QString, quint64> shownBefore;
    for (auto& c : connections) {
        shownBefore[c->serial] = c->observer.shown;
    }
    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    spin(seconds * 1000);
    const double cpu = processCpuSeconds() - cpuStart;
    const double elapsed = wall.elapsed() / 1000.0;
    const double rss = BenchMeasure::rssKiB() / 1024.0 - rssBefore;

    quint64 decoded = 0, shown = 0, skipped = 0, shownAll = 0;
    for (auto& c : connections) {
        if (QPointer<dvk::IDevice> device = manage.getDevice(c->serial)) {
            if (auto* decoder = device->findChild<dvk::Decoder*>()) {
                c->rendered = decoder->renderedFrames();
                c->skipped = decoder->skippedFrames();
            }
            device->deRegisterDeviceObserver(&c->observer);
        }
        decoded += c->rendered + c->skipped;
        skipped += c->skipped;
        shown += c->observer.shown - shownBefore[c->serial];
        shownAll += c->observer.shown;
    }
    manage.disconnectAllDevice();
    quint64 sent = 0;
    for (auto& c : connections) {
        sim.waitForServerEvent("exit", 10000, c->serial);
        sent += framesSent(sim, c->serial);
    }
    QStringList bringUps;
    int failed = 0;
    for (auto& c : connections) {
        bringUps << (c->ok ? QString::number(c->bringUpMs) : QString("FAILED"));
        failed += c->ok ? 0 : 1;
    }
    printf("ROUND %d %.2f %.3f %.1f %llu %llu %llu %llu %llu %d %s\n", count, elapsed, cpu, rss,
           static_cast<unsigned long long>(sent), static_cast<unsigned long long>(decoded),
           static_cast<unsigned long long>(shownAll), static_cast<unsigned long long>(skipped),
           static_cast<unsigned long long>(shown), failed, qPrintable(bringUps.join(',')));
    fflush(stdout);
    sim.stop();
    return failed == 0 ? 0 : 1;
}

int runAll(const QStringList& counts, int seconds)
{
    printf("%d s per round, %dx%d at %d fps; CPU and memory of the application process only.\n", seconds, kWidth,
           kHeight, kFps);
    // unread: sent but still on the way when the connection closed; pending: decoded, not yet taken.
    printf("%-7s %8s %8s %8s %8s %7s %7s %7s %7s %6s %7s  %s\n", "devices", "cpu %", "cpu/dev", "rss MiB",
           "rss/dev", "sent", "decoded", "shown", "skipped", "unread", "pending", "bring-up ms");
    double cpuOne = 0, rssOne = 0;
    for (const QString& count : counts) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {"--round", count, QString::number(seconds)});
        child.waitForFinished(-1);
        const QList<QByteArray> out = child.readAllStandardOutput().split('\n');
        QList<QByteArray> f;
        for (const QByteArray& line : out) {
            if (line.startsWith("ROUND ")) {
                f = line.split(' ');
            }
        }
        if (f.size() < 12) {
            printf("%-7s round failed\n", qPrintable(count));
            continue;
        }
        const int n = f[1].toInt();
        const double cpuPct = 100.0 * f[3].toDouble() / f[2].toDouble();
        const double rss = f[4].toDouble();
        if (n == 1) {
            cpuOne = cpuPct;
            rssOne = rss;
        }
        const qint64 sent = f[5].toLongLong(), decoded = f[6].toLongLong(), shown = f[7].toLongLong(),
                     skipped = f[8].toLongLong();
        printf("%-7d %8.1f %8.1f %8.1f %8.1f %7lld %7lld %7lld %7lld %6lld %7lld  %s%s\n", n, cpuPct, cpuPct / n, rss,
               rss / n, sent, decoded, shown, skipped, sent - decoded, decoded - shown - skipped, f[11].constData(),
               f[10].toInt() ? "  (bring-up failed)" : "");
        if (n > 1 && cpuOne > 0 && rssOne > 0) {
            printf("        per device vs one: cpu %.2fx, rss %.2fx\n", cpuPct / n / cpuOne, rss / n / rssOne);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == "--round") {
        return runRound(args.value(1).toInt(), args.value(2).toInt());
    }
    const int seconds = args.isEmpty() ? 30 : args.value(0).toInt();
    const QStringList counts = args.size() > 1 ? args.mid(1) : QStringList{"1", "2", "4", "8"};
    return runAll(counts, seconds > 0 ? seconds : 30);
}

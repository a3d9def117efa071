// Mirrors 1 and then 4 simulated 720 x 1280, 30 fps phones, each in a window of its own, with group
// control on, while mouse presses go to the first window. Prints per phone the frames decoded,
// painted and skipped; per round the GUI thread's time per frame, the process's CPU and memory per
// phone against one phone, and how long a press takes to leave on every phone's control socket.
// Each count runs in a child process of its own, so one round's memory does not colour the next.
//   xvfb-run -a -s "-screen 0 1920x1080x24" bench_group [SECONDS=60] [COUNT...=1 4]

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "AppPath.h"
#include "BenchMeasure.h"
#include "BenchWait.h"
#include "QYUVOpenGLWidget.h"
#include "SimDevice.h"
#include "VideoForm.h"
#include "adb/AdbProcess.h"
#include "decoder/Decoder.h"
#include "device/DeviceObserver.h"
#include "device/IDeviceManage.h"
#include "group/GroupController.h"
#include "server/Server.h"

using BenchMeasure::Clock;
using BenchMeasure::msBetween;
using BenchMeasure::percentile;

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 1280;
constexpr int kFps = 30;
constexpr int kBringUpLimitMs = 60000;
constexpr int kSettleMs = 3000;
constexpr int kPressEveryMs = 250;
// Every window at half the phone's size, whatever the count, so that rounds compare per phone.
const QSize kWindowSize(kWidth / 2, kHeight / 2);
constexpr int kWindowGap = 10;

// One phone's window and what is counted of it. Uploads are the pictures handed to the window;
// a paint that finds several uploads since the last one shows only the newest.
class Phone : public QObject, public dvk::DeviceObserver
{
public:
    explicit Phone(QString serialOf) : serial(std::move(serialOf)) {}

    void onFrame(int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) override
    {
        ++uploads;
        ++unpainted;
    }

    QString serial;
    std::unique_ptr<VideoForm> form;
    QPointer<QTcpSocket> controlSocket;
    QPointer<dvk::Decoder> decoder;
    bool ok = false;
    bool connected = false;
    quint64 uploads = 0;
    quint64 unpainted = 0;
    quint64 painted = 0;
    quint64 paintedOver = 0;
    std::vector<double> paintMs;
    // From the start of a paint that showed a new picture to the window's buffer swap.
    std::vector<double> swapMs;
    Clock::time_point paintStart;
    bool swapPending = false;
    // Set by a press, cleared by the first bytes written after it.
    bool pressPending = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        const auto start = Clock::now();
        watched->event(event);
        if (unpainted > 0) {
            paintStart = start;
            swapPending = true;
            paintMs.push_back(msBetween(start, Clock::now()));
            ++painted;
            paintedOver += unpainted - 1;
            unpainted = 0;
        }
        return true;
    }
};

using Phones = std::vector<std::unique_ptr<Phone>>;

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

using BenchWait::spin;
using BenchWait::waitUntil;

quint64 decodedOf(const Phone& phone)
{
    return phone.decoder ? quint64(phone.decoder->renderedFrames()) + phone.decoder->skippedFrames() : 0;
}

quint64 bufferSkippedOf(const Phone& phone)
{
    return phone.decoder ? phone.decoder->skippedFrames() : 0;
}

// The window opens as the application opens it: when the phone reports, before its first picture.
void openWindow(Phone& phone, int index)
{
    QPointer<dvk::IDevice> device = dvk::IDeviceManage::getInstance().getDevice(phone.serial);
    if (!device) {
        return;
    }
    phone.form = std::make_unique<VideoForm>(nullptr);
    phone.form->setSerial(phone.serial);
    phone.form->resize(kWindowSize);
    phone.form->move(index * (kWindowSize.width() + kWindowGap), 0);
    phone.form->show();
    if (auto* video = phone.form->findChild<QYUVOpenGLWidget*>()) {
        video->installEventFilter(&phone);
        Phone* counted = &phone;
        QObject::connect(video, &QOpenGLWidget::frameSwapped, &phone, [counted]() {
            if (counted->swapPending) {
                counted->swapMs.push_back(msBetween(counted->paintStart, Clock::now()));
                counted->swapPending = false;
            }
        });
    }
    device->registerDeviceObserver(phone.form.get());
    device->registerDeviceObserver(&phone);
    phone.decoder = device->findChild<dvk::Decoder*>();
    auto* server = device->findChild<dvk::Server*>();
    phone.controlSocket = server ? server->getControlSocket() : nullptr;
}

bool bringUp(Phones& phones)
{
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    QObject::connect(&registry, &dvk::IDeviceManage::deviceConnected,
                     [&phones](bool success, const QString& serial, const QString&, const QSize&) {
                         for (size_t i = 0; i < phones.size(); ++i) {
                             if (phones[i]->serial == serial) {
                                 phones[i]->connected = true;
                                 phones[i]->ok = success;
                                 openWindow(*phones[i], int(i));
                             }
                         }
                     });
    for (auto& phone : phones) {
        dvk::DeviceParams params;
        params.serial = phone->serial;
        params.serverLocalPath = SimDevice::serverFilePath();
        params.serverVersion = SimDevice::serverVersion();
        params.localPort = SimDevice::freePort();
        params.maxSize = kHeight;
        params.maxFps = kFps;
        if (!registry.connectDevice(params)) {
            std::fprintf(stderr, "%s: the registry refused the connection\n", qPrintable(phone->serial));
        }
    }
    return waitUntil(
        [&phones] {
            return std::all_of(phones.begin(), phones.end(), [](const auto& phone) { return phone->connected; });
        },
        kBringUpLimitMs);
}

// Presses at the centre of the first window; each one timed to the moment every phone's control
// socket has written its bytes.
class Presser
{
public:
    explicit Presser(Phones& phones) : m_phones(phones)
    {
        for (auto& phone : phones) {
            if (phone->controlSocket) {
                Phone* each = phone.get();
                QObject::connect(phone->controlSocket, &QTcpSocket::bytesWritten, &m_timer,
                                 [this, each]() { onWritten(*each); });
            }
        }
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this]() { press(); });
    }

    void start() { m_timer.start(kPressEveryMs); }
    void stop() { m_timer.stop(); }

    std::vector<double> allMs;
    int presses = 0;

private:
    void press()
    {
        VideoForm* form = m_phones.front()->form.get();
        if (!form) {
            return;
        }
        const QPointF centre(form->width() / 2.0, form->height() / 2.0);
        const QPoint global = form->mapToGlobal(centre.toPoint());
        QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        m_waiting = 0;
        for (auto& phone : m_phones) {
            phone->pressPending = bool(phone->controlSocket);
            m_waiting += phone->pressPending ? 1 : 0;
        }
        ++presses;
        m_pressAt = Clock::now();
        QApplication::sendEvent(form, &press);
        QTimer::singleShot(20, form, [form, release]() mutable { QApplication::sendEvent(form, &release); });
    }

    void onWritten(Phone& phone)
    {
        if (!phone.pressPending) {
            return;
        }
        phone.pressPending = false;
        if (--m_waiting == 0) {
            allMs.push_back(msBetween(m_pressAt, Clock::now()));
        }
    }

    Phones& m_phones;
    QTimer m_timer;
    Clock::time_point m_pressAt;
    int m_waiting = 0;
};

struct Snapshot
{
    double cpu = 0;
    double guiCpu = 0;
    quint64 decoded = 0;

    static Snapshot take(const Phones& phones)
    {
        Snapshot now{processCpuSeconds(), threadCpuSeconds(), 0};
        for (const auto& phone : phones) {
            now.decoded += decodedOf(*phone);
        }
        return now;
    }
};

void printPhones(const Phones& phones)
{
    for (const auto& phone : phones) {
        const quint64 decoded = decodedOf(*phone);
        const quint64 skipped = bufferSkippedOf(*phone) + phone->paintedOver;
        std::printf("PHONE %s %llu %llu %llu %llu %.3f %.3f\n", qPrintable(phone->serial), (unsigned long long)decoded,
                    (unsigned long long)phone->painted, (unsigned long long)skipped,
                    (unsigned long long)phone->unpainted, percentile(phone->paintMs, 0.5),
                    percentile(phone->swapMs, 0.5));
    }
}

// One count of phones, in this process: prints its lines for the parent to collect.
int runRound(int count, int seconds)
{
    QTemporaryDir folders;
    setAppPath(folders.path());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    SimDevice sim(false);
    Phones phones;
    for (int i = 0; i < count; ++i) {
        SimDevice::Options options;
        options.serial = QString("GROUP%1").arg(i, 2, 10, QChar('0'));
        options.screen = QSize(kWidth, kHeight);
        options.sizeLimit = 0;
        sim.addDevice(options);
        phones.push_back(std::make_unique<Phone>(options.serial));
    }
    const double rssBefore = BenchMeasure::rssKiB() / 1024.0;
    dvk::GroupController::instance().setEnabled(true);
    const bool allUp = bringUp(phones);
    const int failed = int(std::count_if(phones.begin(), phones.end(), [](const auto& p) { return !p->ok; }));
    if (!allUp || failed > 0) {
        std::fprintf(stderr, "%d of %d phones did not come up\n", failed, count);
    }

    spin(kSettleMs);
    Presser presser(phones);
    const Snapshot before = Snapshot::take(phones);
    QElapsedTimer wall;
    wall.start();
    presser.start();
    spin(seconds * 1000);
    presser.stop();
    const Snapshot after = Snapshot::take(phones);
    const double elapsed = wall.elapsed() / 1000.0;
    const double rss = BenchMeasure::rssKiB() / 1024.0 - rssBefore;

    printPhones(phones);
    const quint64 frames = after.decoded - before.decoded;
    std::printf("ROUND %d %.2f %.3f %.3f %.1f %llu %.3f %.3f %d %d\n", count, elapsed, after.cpu - before.cpu,
                frames > 0 ? 1000.0 * (after.guiCpu - before.guiCpu) / frames : -1.0, rss,
                (unsigned long long)frames, percentile(presser.allMs, 0.5), percentile(presser.allMs, 0.9),
                presser.presses, failed);
    std::fflush(stdout);
    dvk::IDeviceManage::getInstance().disconnectAllDevice();
    phones.clear();
    sim.stop();
    return failed == 0 ? 0 : 1;
}

struct Round
{
    int count = 0;
    double cpuPct = 0;
    double rss = 0;
    QList<QByteArray> fields;
    QList<QList<QByteArray>> phones;
};

bool runChild(const QString& count, int seconds, Round& round)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"--round", count, QString::number(seconds)});
    child.waitForFinished(-1);
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("ROUND ")) {
            round.fields = line.split(' ');
        } else if (line.startsWith("PHONE ")) {
            round.phones << line.split(' ');
        }
    }
    if (round.fields.size() < 11) {
        return false;
    }
    round.count = round.fields[1].toInt();
    round.cpuPct = 100.0 * round.fields[3].toDouble() / round.fields[2].toDouble();
    round.rss = round.fields[5].toDouble();
    return true;
}

void printFrames(const QList<Round>& rounds)
{
    // pending: handed to the window after its last paint; painted + skipped + pending = decoded.
    std::printf("%-7s %-8s %8s %8s %8s %8s %9s %12s\n", "phones", "phone", "decoded", "painted", "skipped", "pending",
                "paint ms", "to swap ms");
    for (const Round& round : rounds) {
        for (const QList<QByteArray>& f : round.phones) {
            std::printf("%-7d %-8s %8s %8s %8s %8s %9s %12s\n", round.count, f[1].constData(), f[2].constData(),
                        f[3].constData(), f[4].constData(), f[5].constData(), f[6].constData(), f[7].constData());
        }
    }
}

void printCosts(const QList<Round>& rounds)
{
    std::printf("%-7s %7s %9s %8s %9s %13s %14s %12s %8s\n", "phones", "cpu %", "cpu/phone", "rss MiB", "rss/phone",
                "gui ms/frame", "press->all ms", "(p90)", "presses");
    const Round* one = nullptr;
    for (const Round& round : rounds) {
        const int n = round.count;
        std::printf("%-7d %7.1f %9.1f %8.1f %9.1f %13s %14s %12s %8s%s\n", n, round.cpuPct, round.cpuPct / n,
                    round.rss, round.rss / n, round.fields[4].constData(), round.fields[7].constData(),
                    round.fields[8].constData(), round.fields[9].constData(),
                    round.fields[10].toInt() ? "  (bring-up failed)" : "");
        if (n == 1) {
            one = &round;
        }
    }
    for (const Round& round : rounds) {
        if (one && round.count > 1 && one->cpuPct > 0 && one->rss > 0) {
            std::printf("per phone, %d against 1: cpu %.2fx, rss %.2fx\n", round.count,
                        round.cpuPct / round.count / one->cpuPct, round.rss / round.count / one->rss);
        }
    }
}

// The machine is shared: its load says how far the figures are this program's own.
QByteArray loadAverage()
{
    QFile file("/proc/loadavg");
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("?");
}

int runAll(const QStringList& counts, int seconds)
{
    std::printf("%d s per round, %dx%d at %d fps, each phone in a window of its own, group control on, a press "
                "every %d ms on the first window; CPU and memory of the application process only.\n",
                seconds, kWidth, kHeight, kFps, kPressEveryMs);
    std::printf("load average before: %s\n", loadAverage().constData());
    std::fflush(stdout);
    QList<Round> rounds;
    for (const QString& count : counts) {
        Round round;
        if (!runChild(count, seconds, round)) {
            std::printf("%s phones: round failed\n", qPrintable(count));
            continue;
        }
        rounds << round;
    }
    std::printf("load average after: %s\n", loadAverage().constData());
    printFrames(rounds);
    printCosts(rounds);
    return rounds.size() == counts.size() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--round") {
        QTemporaryDir config;
        qputenv("VADIZEDE_CONFIG_PATH", config.path().toLocal8Bit());
        QApplication app(argc, argv);
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) {
                std::fprintf(stderr, "%s\n", qPrintable(msg));
            }
        });
        return runRound(argc > 2 ? atoi(argv[2]) : 1, argc > 3 ? atoi(argv[3]) : 60);
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const int seconds = args.isEmpty() ? 60 : args.value(0).toInt();
    const QStringList counts = args.size() > 1 ? args.mid(1) : QStringList{"1", "4"};
    return runAll(counts, seconds > 0 ? seconds : 60);
}

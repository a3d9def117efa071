#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "AppPath.h"
#include "DeviceTestSupport.h"
#include "SimTestSetup.h"
#include "DeviceUnderTest.h"

#include <memory>
#include "TestPattern.h"
#include "adb/AdbProcess.h"
#include "device/Device.h"
#include "device/DeviceSerial.h"
#include "controller/Controller.h"
#include "server/Server.h"
#include "server/Stream.h"

using namespace dvk;

namespace {

const QSize kStreamSize(148, 320);

// The luma a limited-range BT.601 encoder would have held for this colour.
quint8 lumaOf(QRgb rgb)
{
    const double y = 16.0 + (65.481 * qRed(rgb) + 128.553 * qGreen(rgb) + 24.966 * qBlue(rgb)) / 255.0;
    return static_cast<quint8>(qBound(0.0, y + 0.5, 255.0));
}

QByteArray fakeApk(const QString& name)
{
    return QByteArray("PK\x03\x04", 4) + "AndroidManifest.xml" + name.toUtf8();
}

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void connectsOnceAndStopsOnceWhenDeviceCloses();
    void disconnectDuringStartReportsNothingLater();
    void controlBytesLeaveWhenTheirMessageIsDelivered();
    void screenshotOfWirelessDeviceMatchesPicture();
    void screenshotNeedsFolderAndSafeName();
    void pushAndConcurrentInstallsReportOnce();

private:
    SimTestSetup m_setup;
};

void TestDevice::initTestCase()
{
    QVERIFY(m_setup.prepare());
}

void TestDevice::init()
{
    m_setup.log->clear();
}

void TestDevice::connectsOnceAndStopsOnceWhenDeviceCloses()
{
    SimDevice::Options options;
    options.faults = QJsonObject{{"closeAfterFrames", 75}};
    SimDevice sim(options);
    QVERIFY(sim.isValid());

    DeviceParams params = simParams(sim.serial());
    params.closeScreen = true;
    Device device(params);
    CallObserver observer;
    FrameObserver removed;
    device.registerDeviceObserver(&observer);
    device.registerDeviceObserver(&removed);
    device.registerDeviceObserver(&removed);
    device.deRegisterDeviceObserver(&removed);
    QSignalSpy connected(&device, &IDevice::deviceConnected);
    QSignalSpy disconnected(&device, &IDevice::deviceDisconnected);

    QVERIFY(device.connectDevice());
    QVERIFY(!device.connectDevice());
    QCOMPARE(connected.count(), 0);
    QVERIFY(connected.wait(15000));
    const QList<QVariant> report = connected.first();
    QCOMPARE(report.at(0).toBool(), true);
    QCOMPARE(report.at(1).toString(), sim.serial());
    QCOMPARE(report.at(2).toString(), QStringLiteral("Sim Device"));
    QCOMPARE(report.at(3).toSize(), kStreamSize);
    QVERIFY(!device.connectDevice());
    QVERIFY(device.isReversePort(params.localPort));
    QVERIFY(!device.isReversePort(params.localPort + 1));

    QTRY_VERIFY_WITH_TIMEOUT(observer.frames > 0, 5000);
    QCOMPARE(observer.lastSize, kStreamSize);
    QTRY_COMPARE_WITH_TIMEOUT(sim.deviceState().value("screenPower").toInt(-1), 0, 5000);

    // Carried out on the device first, then repeated to the observers.
    device.postGoHome();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    device.keyEvent(&key, kStreamSize, kStreamSize);
    QVERIFY(sim.waitForControlLog(3));
    const QList<QJsonObject> messages = sim.controlLog();
    QCOMPARE(messages.at(0).value("name").toString(), QStringLiteral("SET_SCREEN_POWER_MODE"));
    QCOMPARE(messages.at(1).value("keycode").toInt(), 3);
    QCOMPARE(observer.calls, (QStringList{"postGoHome", "keyEvent"}));

    // The device ends the stream: both the stream's end and the shell's end follow, one report.
    QVERIFY(disconnected.wait(15000));
    QCOMPARE(disconnected.first().first().toString(), sim.serial());
    QTRY_VERIFY(m_setup.log->count("stream thread stop") > 0);
    QTRY_VERIFY(m_setup.log->count("server process stop") > 0);
    // Whichever came second (at the latest the server stop's drain timer) finds nothing left to do.
    QTRY_VERIFY_WITH_TIMEOUT(m_setup.log->countStartingWith("disconnectDevice m_server: ") > 0, 5000);
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(m_setup.log->countStartingWith("disconnectDevice m_serverStartSuccess:"), 1);
    QCOMPARE(removed.frames.load(), 0);
    QVERIFY(!device.connectDevice());
}

void TestDevice::controlBytesLeaveWhenTheirMessageIsDelivered()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    DeviceUnderTest test(simParams(sim.serial()));
    QVERIFY(test.connect());
    QTcpSocket* socket = test.device.findChild<Server*>()->getControlSocket();
    QVERIFY(socket);

    // Delivering the message alone, without another turn of the event loop: with windows to
    // repaint, that turn may be far off.
    test.device.postGoHome();
    QCoreApplication::sendPostedEvents(test.device.findChild<Controller*>());
    QCOMPARE(socket->bytesToWrite(), 0);
    QVERIFY(sim.waitForControlLog(2));
}

void TestDevice::disconnectDuringStartReportsNothingLater()
{
    SimDevice::Options options;
    options.faults = QJsonObject{{"slowStartMs", 700}};
    SimDevice sim(options);
    QVERIFY(sim.isValid());

    Device device(simParams(sim.serial()));
    QSignalSpy connected(&device, &IDevice::deviceConnected);
    QSignalSpy disconnected(&device, &IDevice::deviceDisconnected);
    QVERIFY(device.connectDevice());
    QVERIFY(sim.waitForServerEvent("start", 10000));
    device.disconnectDevice();
    QCOMPARE(disconnected.count(), 1);

    // The killed server ends before it connects; whatever the bring-up still had under way
    // must not be reported.
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    QTest::qWait(200);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(!device.connectDevice());
}

void TestDevice::screenshotOfWirelessDeviceMatchesPicture()
{
    SimDevice::Options options;
    options.serial = "192.168.1.5:5555";
    SimDevice sim(options);
    QVERIFY(sim.isValid());

    DeviceParams params = simParams(options.serial);
    params.recordPath = "shots";
    CallObserver observer;
    DeviceUnderTest test(params, &observer);
    Device& device = test.device;
    QVERIFY(test.connect());
    QTRY_VERIFY_WITH_TIMEOUT(observer.frames >= 5, 5000);

    device.screenshot();
    const QString folder = QDir(getAppPath()).filePath("shots");
    const QStringList files = filesIn(folder, "*.png");
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression("^192\\.168\\.1\\.5_\\d{8}_\\d{6}_\\d{3}\\.png$").match(files.first()).hasMatch(),
             qPrintable(files.first()));
    QVERIFY(observer.calls.isEmpty());
    const QString path = QDir(folder).absoluteFilePath(files.first());
    QCOMPARE(m_setup.log->count("screenshot save to " + path), 1);

    const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), kStreamSize);
    std::vector<quint8> luma(static_cast<size_t>(image.width() * image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            luma[static_cast<size_t>(y * image.width() + x)] = lumaOf(line[x]);
        }
    }

    // The bar code names the picture; drawing that picture again must give the same pixels.
    const quint32 frameNumber = sim::TestPattern::readCode(luma.data(), image.width(), image.size());
    QVERIFY(frameNumber >= 1);
    AVFrame* reference = av_frame_alloc();
    reference->format = AV_PIX_FMT_YUV420P;
    reference->width = image.width();
    reference->height = image.height();
    QCOMPARE(av_frame_get_buffer(reference, 0), 0);
    sim::TestPattern().draw(reference, frameNumber);
    qint64 difference = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            difference += std::abs(int(reference->data[0][y * reference->linesize[0] + x])
                                   - int(luma[static_cast<size_t>(y * image.width() + x)]));
        }
    }
    av_frame_free(&reference);
    const double meanDifference = double(difference) / double(luma.size());
    QVERIFY2(meanDifference < 6.0, qPrintable(QString::number(meanDifference)));

    device.disconnectDevice();
}

void TestDevice::screenshotNeedsFolderAndSafeName()
{
    DeviceParams params;
    params.serial = "SIMX";
    params.recordPath = "  ";
    Device device(params);
    quint8 pixels[4 * 4] = {};
    QVERIFY(!device.saveFrame(2, 2, nullptr));
    QVERIFY(!device.saveFrame(2, 2, pixels));
    QCOMPARE(m_setup.log->count("please select record save path!!!"), 1);

    QCOMPARE(dvk::DeviceSerial::fileBaseName("192.168.1.5:5555"), QStringLiteral("192.168.1.5"));
    QCOMPARE(dvk::DeviceSerial::fileBaseName("emulator-5554"), QStringLiteral("emulator-5554"));
    QCOMPARE(dvk::DeviceSerial::fileBaseName("../up\\side*"), QStringLiteral(".._up_side_"));
}

void TestDevice::pushAndConcurrentInstallsReportOnce()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    QTemporaryDir files;
    QVERIFY(files.isValid());
    const QString notes = files.filePath("notes.txt");
    const QString first = files.filePath("com.example.first.apk");
    const QString second = files.filePath("com.example.second.apk");
    for (const QString& path : {notes, first, second}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(path == notes ? QByteArray("hello device\n") : fakeApk(path));
    }

    Device device(simParams(sim.serial()));
    CallObserver observer;
    device.registerDeviceObserver(&observer);
    device.pushFileRequest(notes, "/sdcard/");
    device.installApkRequest(first);
    device.installApkRequest(second);
    QCOMPARE(observer.calls, (QStringList{"pushFileRequest", "installApkRequest", "installApkRequest"}));

    QTRY_COMPARE_WITH_TIMEOUT(m_setup.log->count("install apk complete, save in /sdcard/"), 2, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(m_setup.log->count("file transfer complete, save in /sdcard/"), 1, 15000);
    QTest::qWait(300);
    QCOMPARE(m_setup.log->count("install apk complete, save in /sdcard/"), 2);
    QCOMPARE(m_setup.log->count("file transfer complete, save in /sdcard/"), 1);
    QCOMPARE(m_setup.log->countStartingWith("install apk failed"), 0);

    QFile pushed(sim.devicePath("/sdcard/notes.txt"));
    QVERIFY(pushed.open(QIODevice::ReadOnly));
    QCOMPARE(pushed.readAll(), QByteArray("hello device\n"));
    int installs = 0;
    for (const QJsonObject& event : sim.eventLog()) {
        installs += event.value("event").toString() == "install" ? 1 : 0;
    }
    QCOMPARE(installs, 2);
}

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"

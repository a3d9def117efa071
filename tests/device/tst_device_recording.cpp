#include <QFile>
#include <QJsonArray>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "AppPath.h"
#include "DeviceTestSupport.h"
#include "SimTestSetup.h"
#include "DeviceUnderTest.h"
#include "MediaProbe.h"

#include <memory>
#include "adb/AdbProcess.h"
#include "device/Device.h"
#include "recorder/Recorder.h"
#include "server/Stream.h"

using namespace dvk;

namespace {

const QSize kStreamSize(148, 320);

struct Probe
{
    bool ok = false;
    QString codec;
    QSize size;
    int frames = -1;
    QString comment;
};

Probe probe(const QString& file)
{
    const QJsonObject stream = probeVideoStream(file);
    Probe result;
    result.ok = !stream.isEmpty();
    result.codec = stream.value("codec_name").toString();
    result.size = QSize(stream.value("width").toInt(), stream.value("height").toInt());
    result.frames = stream.value("nb_read_frames").toString().toInt();
    result.comment = stream.value("comment").toString();
    return result;
}

int framesSent(const SimDevice& sim)
{
    for (const QJsonObject& event : sim.serverLog()) {
        if (event.value("event").toString() == "exit") {
            return event.value("frames").toInt(-1);
        }
    }
    return -1;
}

} // namespace

class TestDeviceRecording : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void recordsWhileConnected_data();
    void recordsWhileConnected();
    void framesAlreadySentAreRecordedOnDisconnect();
    void capitalSuffixHasNoMuxer();
    void firstPacketWithTimestampFailsRecording();
    void withoutDisplayRecordsAndIgnoresOperations();

private:
    // Connects to a device that closes after the given number of frames and waits for the end.
    bool recordUntilDeviceCloses(DeviceParams params, int frames, SimDevice& sim, FrameObserver& observer);
    QString recordFolder() const { return QDir(getAppPath()).filePath("rec"); }

    SimTestSetup m_setup;
};

void TestDeviceRecording::initTestCase()
{
    QVERIFY(m_setup.prepare());
    QCoreApplication::setApplicationVersion(VADIZEDE_VERSION);
}

void TestDeviceRecording::init()
{
    m_setup.log->clear();
    QDir(recordFolder()).removeRecursively();
}

bool TestDeviceRecording::recordUntilDeviceCloses(DeviceParams params, int frames, SimDevice& sim,
                                                  FrameObserver& observer)
{
    sim.setFault(sim.serial(), "closeAfterFrames", frames);
    params.recordFile = true;
    params.recordPath = "rec";
    DeviceUnderTest test(params, &observer);
    if (!test.connect()) {
        return false;
    }
    return test.disconnected.wait(20000) && test.disconnected.count() == 1;
}

void TestDeviceRecording::recordsWhileConnected_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("mp4") << "mp4";
    QTest::newRow("mkv") << "mkv";
}

void TestDeviceRecording::recordsWhileConnected()
{
    QFETCH(QString, format);
    SimDevice sim;
    QVERIFY(sim.isValid());
    DeviceParams params = simParams(sim.serial());
    params.recordFileFormat = format;
    FrameObserver observer;
    QVERIFY(recordUntilDeviceCloses(params, 45, sim, observer));
    QVERIFY(observer.frames > 0);

    const QStringList files = filesIn(recordFolder(), "*." + format);
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.first().startsWith(sim.serial() + "_"), qPrintable(files.first()));
    const QString path = QDir(recordFolder()).absoluteFilePath(files.first());
    QCOMPARE(m_setup.log->count("success record " + path), 1);

    const Probe result = probe(path);
    QVERIFY(result.ok);
    QCOMPARE(result.codec, QStringLiteral("h264"));
    QCOMPARE(result.size, kStreamSize);
    const int sent = framesSent(sim);
    QVERIFY(sent >= 45);
    QVERIFY2(qAbs(result.frames - sent) <= 1, qPrintable(QString("%1 of %2").arg(result.frames).arg(sent)));
    QCOMPARE(result.comment, QStringLiteral("Recorded by VaDizede ") + QCoreApplication::applicationVersion());
}

void TestDeviceRecording::framesAlreadySentAreRecordedOnDisconnect()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    DeviceParams params = simParams(sim.serial());
    params.recordFile = true;
    params.recordPath = "rec";
    FrameObserver observer;
    DeviceUnderTest test(params, &observer);
    Device& device = test.device;
    QVERIFY(test.connect());
    QTRY_VERIFY_WITH_TIMEOUT(observer.frames >= 5, 15000);
    // A busy GUI thread lets frames pile up unread, as when the window closes during a long paint.
    QThread::msleep(400);
    device.disconnectDevice();

    QVERIFY(sim.waitForServerEvent("exit", 10000));
    const QStringList files = filesIn(recordFolder(), "*.mp4");
    QCOMPARE(files.size(), 1);
    const Probe result = probe(QDir(recordFolder()).absoluteFilePath(files.first()));
    QVERIFY(result.ok);
    const int sent = framesSent(sim);
    QVERIFY2(result.frames == sent, qPrintable(QString("%1 of %2 written").arg(result.frames).arg(sent)));
}

void TestDeviceRecording::capitalSuffixHasNoMuxer()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    DeviceParams params = simParams(sim.serial());
    params.recordFileFormat = "MP4";
    FrameObserver observer;
    QVERIFY(recordUntilDeviceCloses(params, 10, sim, observer));

    // The mirror goes on without the recording.
    QVERIFY(observer.frames > 0);
    QCOMPARE(m_setup.log->count("Could not find muxer"), 1);
    QCOMPARE(m_setup.log->count("Could not open recorder"), 1);
    // Every packet is refused, but the log says so once, with the reason, and counts them at the end.
    QCOMPARE(m_setup.log->countStartingWith("Could not send"), 1);
    QCOMPARE(m_setup.log->count("Could not send packet to recorder: the recording file is not open"), 1);
    const QStringList ends = m_setup.log->lines().filter(QRegularExpression(" ended; packets not recorded: \\d+ "));
    QCOMPARE(ends.size(), 1);
    const int refused = QRegularExpression("not recorded: (\\d+)").match(ends.first()).captured(1).toInt();
    QVERIFY2(refused >= 5, qPrintable(ends.first()));
    QVERIFY(QDir(recordFolder()).entryList(QDir::Files).isEmpty());
}

void TestDeviceRecording::firstPacketWithTimestampFailsRecording()
{
    QTemporaryDir dir;
    Recorder recorder(dir.filePath("clip.mp4"));
    recorder.setFrameSize(kStreamSize);
    QVERIFY(recorder.open());
    QVERIFY(recorder.startRecorder());

    AVPacket* packet = av_packet_alloc();
    QCOMPARE(av_new_packet(packet, 16), 0);
    packet->pts = 1000;
    QVERIFY(recorder.push(packet));
    packet->pts = 2000;
    QVERIFY(recorder.push(packet));
    QTRY_COMPARE(m_setup.log->count("The first packet is not a config packet"), 1);
    QTRY_VERIFY(!recorder.push(packet));
    av_packet_free(&packet);

    recorder.stopRecorder();
    QVERIFY(recorder.wait(5000));
    recorder.close();
    QCOMPARE(m_setup.log->count("Could not record packet"), 1);
    QCOMPARE(m_setup.log->countStartingWith("success record"), 0);
}

void TestDeviceRecording::withoutDisplayRecordsAndIgnoresOperations()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    sim.setFault(sim.serial(), "closeAfterFrames", 60);
    DeviceParams params = simParams(sim.serial());
    params.display = false;
    params.recordFile = true;
    params.recordPath = "rec";
    params.recordFileFormat = "mkv";
    params.closeScreen = true;
    CallObserver observer;
    DeviceUnderTest test(params, &observer);
    Device& device = test.device;
    QSignalSpy& disconnected = test.disconnected;
    QVERIFY(test.connect());

    const QPointF point(10, 10);
    QMouseEvent mouse(QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QWheelEvent wheel(point, point, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QString text = "typed";
    device.mouseEvent(&mouse, kStreamSize, kStreamSize);
    device.wheelEvent(&wheel, kStreamSize, kStreamSize);
    device.keyEvent(&key, kStreamSize, kStreamSize);
    device.postGoBack();
    device.postGoHome();
    device.postGoMenu();
    device.postAppSwitch();
    device.postPower();
    device.postVolumeUp();
    device.postVolumeDown();
    device.postCopy();
    device.postCut();
    device.setScreenPowerMode(false);
    device.expandNotificationPanel();
    device.collapsePanel();
    device.postBackOrScreenOn(true);
    device.postTextInput(text);
    device.requestDeviceClipboard();
    device.setDeviceClipboard(true);
    device.clipboardPaste();
    device.pushFileRequest(sim.home() + "/adb.jsonl", "/sdcard/");
    device.installApkRequest("/nowhere/app.apk");
    device.screenshot();
    device.updateScript("{}");
    QVERIFY(!device.isCurrentCustomKeymap());

    QVERIFY(disconnected.wait(20000));
    QVERIFY(observer.calls.isEmpty());
    QCOMPARE(observer.frames.load(), 0);
    QVERIFY(sim.controlLog().isEmpty());
    for (const QJsonObject& invocation : sim.invocations()) {
        const QStringList argv = invocation.value("argv").toVariant().toStringList();
        QVERIFY2(!argv.contains("install"), qPrintable(argv.join(' ')));
        QVERIFY2(!argv.contains(sim.home() + "/adb.jsonl"), qPrintable(argv.join(' ')));
    }
    QVERIFY(filesIn(QDir(getAppPath()).filePath("rec"), "*.png").isEmpty());

    const QStringList files = filesIn(recordFolder(), "*.mkv");
    QCOMPARE(files.size(), 1);
    const Probe result = probe(QDir(recordFolder()).absoluteFilePath(files.first()));
    QVERIFY(result.ok);
    QCOMPARE(result.codec, QStringLiteral("h264"));
    QCOMPARE(result.size, kStreamSize);
    QVERIFY(qAbs(result.frames - framesSent(sim)) <= 1);
}

QTEST_GUILESS_MAIN(TestDeviceRecording)
#include "tst_device_recording.moc"

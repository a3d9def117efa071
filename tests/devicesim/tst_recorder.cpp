// The device's screen recorder through "adb exec-out screenrecord", read as the
// application reads it: a raw H.264 byte stream cut up by FFmpeg's own parser.
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>

#include "GroupProcess.h"
#include "SimClient.h"
#include "SimDevice.h"
#include "TestPattern.h"

namespace {

bool processAlive(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

bool waitUntilGone(qint64 pid)
{
    QElapsedTimer timer;
    timer.start();
    while (processAlive(pid)) {
        if (timer.elapsed() > 10000) {
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

int nalType(const QByteArray& stream, int index)
{
    int found = -1;
    for (int i = 0; i + 3 < stream.size(); ++i) {
        if (stream.at(i) == 0 && stream.at(i + 1) == 0 && stream.at(i + 2) == 1 && ++found == index) {
            return stream.at(i + 3) & 0x1f;
        }
    }
    return -1;
}

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT

private slots:
    void streamsUntilTheTimeLimit();
    void pictureSize_data();
    void pictureSize();
    void faultsEndTheRecording();
    void refusesOptionsItCannotUse_data();
    void refusesOptionsItCannotUse();
    void endsWithItsReader();
    void drawsTheLastTouch();
};

void TestRecorder::streamsUntilTheTimeLimit()
{
    SimDevice device;
    QVERIFY(device.setProperty(device.serial(), "recordFps", 60));
    const AdbOutput r = runAdbBinary(device, recordArgs({"--bit-rate", "2000000", "--size", "160x96", "--time-limit", "1"}));
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());
    // Parameter sets first: SPS, then PPS.
    QCOMPARE(nalType(r.out, 0), 7);
    QCOMPARE(nalType(r.out, 1), 8);

    AnnexBDecoder stream;
    stream.feed(r.out, true);
    const QList<quint32> codes = stream.decoder.codes();
    QVERIFY(!codes.isEmpty());
    QCOMPARE(stream.decoder.lastSize(), QSize(160, 96));
    for (int i = 0; i < codes.size(); ++i) {
        QCOMPARE(codes.at(i), quint32(i));
    }
    // One second at 60 pictures a second at most.
    QVERIFY2(codes.size() <= 61, qPrintable(QString::number(codes.size())));

    const QList<QJsonObject> starts = eventsNamed(device, "screenrecord");
    QCOMPARE(starts.size(), 1);
    QCOMPARE(starts.first().value("size").toString(), QString("160x96"));
    QCOMPARE(starts.first().value("bitRate").toInt(), 2000000);
    QCOMPARE(starts.first().value("fps").toInt(), 60);
    QCOMPARE(starts.first().value("args").toArray().last().toString(), QString("-"));
    const QList<QJsonObject> ends = eventsNamed(device, "screenrecord-end");
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.first().value("reason").toString(), QString("time-limit"));
    QCOMPARE(ends.first().value("frames").toInt(), codes.size());
}

void TestRecorder::pictureSize_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("override");
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("capped, ratio kept") << QSize(1080, 2400) << QString() << 320 << QStringList() << QSize(144, 320);
    QTest::newRow("capped, rounded down to 8") << QSize(1080, 2340) << QString() << 320 << QStringList()
                                               << QSize(144, 320);
    QTest::newRow("landscape") << QSize(2400, 1080) << QString() << 500 << QStringList() << QSize(496, 224);
    QTest::newRow("uncapped, rounded") << QSize(300, 206) << QString() << 0 << QStringList() << QSize(296, 200);
    QTest::newRow("override wins") << QSize(1080, 2400) << QString("720x1560") << 400 << QStringList()
                                   << QSize(184, 400);
    QTest::newRow("asked size exactly") << QSize(1080, 2400) << QString() << 320 << QStringList{"--size=270x602"}
                                        << QSize(270, 602);
}

void TestRecorder::pictureSize()
{
    QFETCH(QSize, screen);
    QFETCH(QString, override);
    QFETCH(int, sizeLimit);
    QFETCH(QStringList, options);
    QFETCH(QSize, expected);
    SimDevice::Options opts;
    opts.screen = screen;
    opts.sizeLimit = sizeLimit;
    opts.faults = QJsonObject{{"recordFrames", 1}};
    if (!override.isEmpty()) {
        opts.properties.insert("wmSize", override);
    }
    SimDevice device(opts);
    const AdbOutput r = runAdbBinary(device, recordArgs(options));
    QCOMPARE(r.exitCode, 0);
    AnnexBDecoder stream;
    stream.feed(r.out, true);
    QCOMPARE(stream.decoder.codes().size(), 1);
    QCOMPARE(stream.decoder.lastSize(), expected);
    const QString sizeText = QString("%1x%2").arg(expected.width()).arg(expected.height());
    QCOMPARE(eventsNamed(device, "screenrecord").value(0).value("size").toString(), sizeText);
}

void TestRecorder::faultsEndTheRecording()
{
    SimDevice::Options opts;
    opts.faults = QJsonObject{{"recordFrames", 5}};
    SimDevice device(opts);
    AdbOutput r = runAdbBinary(device, recordArgs({"--size", "64x64"}));
    QCOMPARE(r.exitCode, 0);
    AnnexBDecoder stream;
    stream.feed(r.out, true);
    QCOMPARE(stream.decoder.codes(), (QList<quint32>{0, 1, 2, 3, 4}));
    QCOMPARE(eventsNamed(device, "screenrecord-end").value(0).value("reason").toString(), QString("frames"));
    QCOMPARE(eventsNamed(device, "screenrecord-end").value(0).value("frames").toInt(), 5);

    const QString text = "ERROR: unable to create video/avc codec by type (err=-19)";
    QVERIFY(device.setFault(device.serial(), "recordError", text));
    r = runAdbBinary(device, recordArgs({}));
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err, text + "\n");
    const QJsonObject end = eventsNamed(device, "screenrecord-end").value(1);
    QCOMPARE(end.value("reason").toString(), QString("error"));
    QCOMPARE(end.value("frames").toInt(), 0);
}

void TestRecorder::refusesOptionsItCannotUse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    const QStringList base{"exec-out", "screenrecord"};
    QTest::newRow("no output") << base << 2 << "Must specify output file";
    QTest::newRow("bad size") << base + QStringList{"--size", "640", "-"} << 2 << "Invalid size '640'";
    QTest::newRow("time limit too long") << base + QStringList{"--time-limit=181", "-"} << 2 << "Time limit 181s";
    QTest::newRow("time limit zero") << base + QStringList{"--time-limit", "0", "-"} << 2 << "Time limit 0s";
    QTest::newRow("bit rate") << base + QStringList{"--bit-rate", "fast", "-"} << 2 << "Bit rate fast";
    QTest::newRow("format") << base + QStringList{"--output-format", "mp4", "-"} << 2 << "Unknown format 'mp4'";
    QTest::newRow("unknown option") << base + QStringList{"--rotate-me", "-"} << 2 << "unrecognized option";
    QTest::newRow("odd size") << base + QStringList{"--size", "161x97", "-"} << 1 << "unable to configure";
    QTest::newRow("exec-out alone") << QStringList{"exec-out"} << 1 << "usage: adb exec-out";
}

void TestRecorder::refusesOptionsItCannotUse()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    SimDevice device;
    const AdbOutput r = runAdbBinary(device, args);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
}

// Whether the reader closes its end or kills adb outright, the recorder ends with it.
void TestRecorder::endsWithItsReader()
{
    SimDevice device;
    for (const bool kill : {false, true}) {
        // A reader that takes a little and goes away closes the pipe's only read end.
        QProcess reader;
        GroupProcess adb;
        if (!kill) {
            adb.setStandardOutputProcess(&reader);
            reader.start("head", {"-c", "2000"});
            QVERIFY(reader.waitForStarted());
        }
        adb.setProcessEnvironment(device.environment());
        adb.start(SimDevice::adbPath(), recordArgs({"--size", "64x64"}));
        QVERIFY(adb.waitForStarted());
        const int count = kill ? 2 : 1;
        QVERIFY(waitForEvent(device, "screenrecord", count));
        const qint64 pid = eventsNamed(device, "screenrecord").value(count - 1).value("pid").toInt();
        if (kill) {
            QVERIFY(adb.waitForReadyRead(10000));
            ::kill(pid_t(adb.processId()), SIGKILL);
        }
        QVERIFY(waitForEvent(device, "screenrecord-end", count));
        QVERIFY(waitUntilGone(pid));
        const QJsonObject end = eventsNamed(device, "screenrecord-end").value(count - 1);
        QCOMPARE(end.value("reason").toString(), QString(kill ? "killed" : "closed"));
        QTRY_COMPARE_WITH_TIMEOUT(adb.state(), QProcess::NotRunning, 10000);
        if (!kill) {
            QCOMPARE(adb.exitCode(), 1);
            QTRY_COMPARE_WITH_TIMEOUT(reader.state(), QProcess::NotRunning, 10000);
            QCOMPARE(reader.readAllStandardOutput().size(), 2000);
        }
    }
    // adb killed outright is still logged, by the recorder.
    const QList<QJsonObject> invocations = device.invocations();
    QVERIFY(!invocations.isEmpty());
    QCOMPARE(invocations.last().value("killed").toBool(), true);
}

// A touch written by "input" shows in the picture, scaled from display pixels,
// also when it lands while the recorder runs.
void TestRecorder::drawsTheLastTouch()
{
    SimDevice::Options opts;
    opts.screen = QSize(1080, 2400);
    opts.properties.insert("recordFps", 60);
    SimDevice device(opts);
    QCOMPARE(device.runAdb({"shell", "input", "motionevent", "DOWN", "540", "1200"}).exitCode, 0);

    GroupProcess adb;
    adb.setProcessEnvironment(device.environment());
    adb.start(SimDevice::adbPath(), recordArgs({"--time-limit", "60"}));
    QVERIFY(adb.waitForStarted());
    AnnexBDecoder stream;
    // 144x320: the display's centre, a pressed (filled) marker.
    QTRY_VERIFY_WITH_TIMEOUT((stream.feed(adb.readAllStandardOutput()), !stream.decoder.codes().isEmpty()), 10000);
    QCOMPARE(stream.decoder.lastSize(), QSize(144, 320));
    QVERIFY2(stream.decoder.lumaAround(72, 160, 1) > 200, qPrintable(QString::number(stream.decoder.lumaAround(72, 160, 1))));

    // A tap at a quarter of the display: a released (hollow) marker there.
    QCOMPARE(device.runAdb({"shell", "input", "tap", "270", "600"}).exitCode, 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        (stream.feed(adb.readAllStandardOutput()), stream.decoder.lumaAround(36, 80, 1) < 40), 10000);
    const int rim = sim::TestPattern::markerSize({144, 320}) / 2 - 1;
    QVERIFY(stream.decoder.lumaAround(36 - rim, 80, 0) > 200);
    // The old marker is gone from the centre.
    QVERIFY(stream.decoder.lumaAround(72, 160, 1) < 200);
    adb.killGroup();
}

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"

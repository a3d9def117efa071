// The phone's screen as its own tools show it: a still screen that gives the
// recorder nothing to write until the phone is touched, screencap's PNG, a
// turned phone, and a recorder asked for a size of another ratio.
#include <QImage>
#include <QProcess>
#include <QtTest>

#include "GroupProcess.h"
#include "SimClient.h"
#include "SimDevice.h"
#include "TestPattern.h"

namespace {

// Luma of the simulated picture's black, and a bound well above it that
// compression never reaches on a black bar.
constexpr int kDark = 40;

// NAL unit types in stream order.
QList<int> nalTypes(const QByteArray& stream)
{
    QList<int> types;
    for (int i = 0; i + 3 < stream.size(); ++i) {
        if (stream.at(i) == 0 && stream.at(i + 1) == 0 && stream.at(i + 2) == 1) {
            types.append(stream.at(i + 3) & 0x1f);
        }
    }
    return types;
}

// A recorder left running, read as it writes.
struct LiveRecording
{
    GroupProcess adb;
    AnnexBDecoder stream;
    QByteArray bytes;

    bool start(const SimDevice& device, const QStringList& options)
    {
        adb.setProcessEnvironment(device.environment());
        adb.start(SimDevice::adbPath(), recordArgs(options + QStringList{"--time-limit", "60"}));
        return adb.waitForStarted();
    }
    void read()
    {
        const QByteArray more = adb.readAllStandardOutput();
        bytes += more;
        stream.feed(more);
    }
    // Reads until a picture was decoded for which the check holds.
    bool waitFor(const std::function<bool(const H264Decoder&)>& check)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            adb.waitForReadyRead(100);
            read();
            if (!stream.decoder.codes().isEmpty() && check(stream.decoder)) {
                return true;
            }
        }
        return false;
    }
};

QImage screencap(const SimDevice& device, const QStringList& args = {"exec-out", "screencap", "-p"})
{
    const AdbOutput r = runAdbBinary(device, args);
    if (r.exitCode != 0) {
        qWarning("screencap failed: %s", qPrintable(r.err));
        return QImage();
    }
    return QImage::fromData(r.out, "PNG");
}

} // namespace

class TestScreen : public QObject
{
    Q_OBJECT

private slots:
    void stillScreenWritesOnlyParameterSets();
    void stillScreenMovesAfterInput();
    void stillScreenEndsWithItsReader();
    void screencapIsAPngOfTheScreen();
    void screencapFollowsTheTurnAndTheOverride();
    void screencapRefusesTheRawForm();
    void recorderStartedTurnedRecordsLandscape();
    void turningWhileRecordingKeepsTheSize();
    void dumpsysInputPrintsTheSurfaceOrientation();
    void askedSizeOfAnotherRatioIsLetterboxed_data();
    void askedSizeOfAnotherRatioIsLetterboxed();
    void deviceMayInsistOnSidesOfEight();
};

// Neither an input made before the recorder started nor a screencap while it
// runs moves a still screen: the recording holds the parameter sets alone.
void TestScreen::stillScreenWritesOnlyParameterSets()
{
    SimDevice device;
    QVERIFY(device.setProperty(device.serial(), "stillScreen", true));
    QCOMPARE(device.runAdb({"shell", "input", "tap", "100", "100"}).exitCode, 0);

    QProcess adb;
    adb.setProcessEnvironment(device.environment());
    adb.start(SimDevice::adbPath(), recordArgs({"--time-limit", "2"}));
    QVERIFY(waitForEvent(device, "screenrecord"));
    QVERIFY(!screencap(device).isNull());
    QVERIFY(adb.waitForFinished(20000));
    QCOMPARE(adb.exitCode(), 0);
    QCOMPARE(nalTypes(adb.readAllStandardOutput()), (QList<int>{7, 8}));

    const QJsonObject start = eventsNamed(device, "screenrecord").value(0);
    QCOMPARE(start.value("still").toBool(), true);
    const QJsonObject end = eventsNamed(device, "screenrecord-end").value(0);
    QCOMPARE(end.value("reason").toString(), QString("time-limit"));
    QCOMPARE(end.value("frames").toInt(), 0);
}

// The first input command, from a shell fed line by line as the application
// keeps one, starts the pictures: numbered from 0, the touch drawn.
void TestScreen::stillScreenMovesAfterInput()
{
    SimDevice::Options opts;
    opts.screen = QSize(1080, 2400);
    opts.properties = QJsonObject{{"stillScreen", true}, {"recordFps", 60}};
    SimDevice device(opts);
    LiveRecording rec;
    QVERIFY(rec.start(device, {}));
    QVERIFY(waitForEvent(device, "screenrecord"));
    QTRY_VERIFY_WITH_TIMEOUT((rec.read(), nalTypes(rec.bytes).size() >= 2), 10000);
    QCOMPARE(nalTypes(rec.bytes).mid(0, 2), (QList<int>{7, 8}));

    GroupProcess shell;
    shell.setProcessEnvironment(device.environment());
    shell.start(SimDevice::adbPath(), {"shell"});
    QVERIFY(shell.waitForStarted());
    shell.write("input motionevent DOWN 540 1200\n");
    QVERIFY(shell.waitForBytesWritten(10000));
    // 144x320: the display's centre, a pressed (filled) marker.
    QVERIFY(rec.waitFor([](const H264Decoder& d) { return d.lumaAround(72, 160, 1) > 200; }));
    QCOMPARE(rec.stream.decoder.codes().first(), quint32(0));
    QCOMPARE(rec.stream.decoder.lastSize(), QSize(144, 320));
    QCOMPARE(device.deviceState().value("inputCount").toInt(), 1);
    QVERIFY(rec.waitFor([](const H264Decoder& d) { return d.codes().size() >= 5; }));
    shell.closeWriteChannel();
    QVERIFY(shell.waitForFinished(10000));
    rec.adb.killGroup();
}

// Nothing is written to find a closed pipe with, yet the recorder still ends.
void TestScreen::stillScreenEndsWithItsReader()
{
    SimDevice device;
    QVERIFY(device.setProperty(device.serial(), "stillScreen", true));
    QProcess reader;
    GroupProcess adb;
    adb.setStandardOutputProcess(&reader);
    reader.start("head", {"-c", "8"});
    QVERIFY(reader.waitForStarted());
    adb.setProcessEnvironment(device.environment());
    adb.start(SimDevice::adbPath(), recordArgs({}));
    QVERIFY(adb.waitForStarted());
    QVERIFY(waitForEvent(device, "screenrecord-end"));
    const QJsonObject end = eventsNamed(device, "screenrecord-end").value(0);
    QCOMPARE(end.value("reason").toString(), QString("closed"));
    QCOMPARE(end.value("frames").toInt(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(adb.state(), QProcess::NotRunning, 10000);
    QCOMPARE(adb.exitCode(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(reader.state(), QProcess::NotRunning, 10000);
    QCOMPARE(reader.readAllStandardOutput().size(), 8);
}

void TestScreen::screencapIsAPngOfTheScreen()
{
    SimDevice device;
    QCOMPARE(device.runAdb({"shell", "input", "motionevent", "DOWN", "810", "1755"}).exitCode, 0);
    const QImage shot = screencap(device);
    QCOMPARE(shot.size(), QSize(1080, 2340));
    // The pressed marker, white, where the touch is; the picture around it is not.
    QVERIFY(qGray(shot.pixel(810, 1755)) > 230);
    QVERIFY(qGray(shot.pixel(540, 1000)) < 230);
    // Frame 0: every cell of the bar code along the bottom is black.
    const QImage gray = shot.convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(sim::TestPattern::readCode(gray.constBits(), gray.bytesPerLine(), gray.size()), quint32(0));

    const QJsonObject event = eventsNamed(device, "screencap").value(0);
    QCOMPARE(event.value("size").toString(), QString("1080x2340"));
    QCOMPARE(event.value("orientation").toInt(), 0);
    // Reading the screen is not touching it.
    QCOMPARE(device.deviceState().value("inputCount").toInt(), 1);

    // Through the shell too, and into a file of the device.
    QCOMPARE(screencap(device, {"shell", "screencap", "-p"}).size(), QSize(1080, 2340));
    QCOMPARE(runAdbBinary(device, {"shell", "screencap", "-p", "/sdcard/shot.png"}).exitCode, 0);
    QCOMPARE(QImage(device.devicePath("/sdcard/shot.png")).size(), QSize(1080, 2340));
    QCOMPARE(eventsNamed(device, "screencap").size(), 3);
}

// The PNG is the display as turned, with the touch given in turned pixels.
void TestScreen::screencapFollowsTheTurnAndTheOverride()
{
    SimDevice::Options opts;
    opts.properties = QJsonObject{{"wmSize", "720x1560"}, {"orientation", 1}};
    SimDevice device(opts);
    QCOMPARE(device.runAdb({"shell", "input", "motionevent", "DOWN", "1300", "100"}).exitCode, 0);
    const QImage shot = screencap(device);
    QCOMPARE(shot.size(), QSize(1560, 720));
    QVERIFY(qGray(shot.pixel(1300, 100)) > 230);
    QCOMPARE(eventsNamed(device, "screencap").value(0).value("size").toString(), QString("1560x720"));
    QCOMPARE(eventsNamed(device, "screencap").value(0).value("orientation").toInt(), 1);
    // The window manager still names the natural size, as a turned phone does.
    QVERIFY(device.runAdb({"shell", "wm", "size"}).out.startsWith("Physical size: 1080x2340\nOverride size: 720x1560"));
}

void TestScreen::screencapRefusesTheRawForm()
{
    SimDevice device;
    const AdbOutput r = runAdbBinary(device, {"exec-out", "screencap"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains("only PNG"), qPrintable(r.err));
    QVERIFY(eventsNamed(device, "screencap").isEmpty());
}

// 2340x1080 capped at 320: 320x144, the screen 312x144 between bars of 4.
void TestScreen::recorderStartedTurnedRecordsLandscape()
{
    SimDevice::Options opts;
    opts.properties = QJsonObject{{"orientation", 1}};
    opts.faults = QJsonObject{{"recordFrames", 2}};
    SimDevice device(opts);
    QCOMPARE(device.runAdb({"shell", "input", "motionevent", "DOWN", "1755", "270"}).exitCode, 0);
    const AdbOutput r = runAdbBinary(device, recordArgs({}));
    QCOMPARE(r.exitCode, 0);
    AnnexBDecoder stream;
    stream.feed(r.out, true);
    QCOMPARE(stream.decoder.codes(), (QList<quint32>{0, 1}));
    QCOMPARE(stream.decoder.lastSize(), QSize(320, 144));
    // Turned pixels map onto the screen's part of the picture: 4 + 1755 * 312 / 2340, 270 * 144 / 1080.
    QVERIFY2(stream.decoder.lumaAround(238, 36, 1) > 200, qPrintable(QString::number(stream.decoder.lumaAround(238, 36, 1))));
    QVERIFY(stream.decoder.lumaAround(1, 70, 0) < kDark);
    QVERIFY(stream.decoder.lumaAround(318, 70, 0) < kDark);
    const QJsonObject start = eventsNamed(device, "screenrecord").value(0);
    QCOMPARE(start.value("size").toString(), QString("320x144"));
    QCOMPARE(start.value("orientation").toInt(), 1);
}

// A running recorder keeps its size: the turned screen (144x66) sits in the
// middle of the portrait frame, black above and below.
void TestScreen::turningWhileRecordingKeepsTheSize()
{
    SimDevice::Options opts;
    opts.properties = QJsonObject{{"recordFps", 60}};
    SimDevice device(opts);
    LiveRecording rec;
    QVERIFY(rec.start(device, {}));
    QVERIFY(rec.waitFor([](const H264Decoder& d) { return d.lumaAround(72, 40, 2) > kDark; }));
    QCOMPARE(rec.stream.decoder.lastSize(), QSize(144, 320));

    QVERIFY(device.setProperty(device.serial(), "orientation", 1));
    QVERIFY(rec.waitFor([](const H264Decoder& d) { return d.lumaAround(72, 40, 2) < kDark; }));
    const H264Decoder& picture = rec.stream.decoder;
    QCOMPARE(picture.lastSize(), QSize(144, 320));
    QVERIFY(picture.lumaAround(72, 250, 2) < kDark);
    QVERIFY(picture.lumaAround(72, 160, 2) > kDark);
    // Still numbered in order, the code readable across the bars.
    const QList<quint32> codes = picture.codes();
    for (int i = 1; i < codes.size(); ++i) {
        QCOMPARE(codes.at(i), codes.at(i - 1) + 1);
    }
    rec.adb.killGroup();
}

void TestScreen::dumpsysInputPrintsTheSurfaceOrientation()
{
    SimDevice device;
    SimDevice::AdbResult r = device.runAdb({"shell", "dumpsys", "input"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.startsWith("INPUT MANAGER (dumpsys input)\n"));
    QVERIFY(r.out.contains("\nInput Reader State:\n"));
    QVERIFY(r.out.contains("\n      SurfaceOrientation: 0\n"));

    // As the application asks it, through a pipe into grep, also over a long-lived shell.
    QVERIFY(device.setProperty(device.serial(), "orientation", 3));
    r = device.runAdb({"shell", "dumpsys input | grep SurfaceOrientation"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("      SurfaceOrientation: 3\n"));
    GroupProcess shell;
    shell.setProcessEnvironment(device.environment());
    shell.start(SimDevice::adbPath(), {"shell"});
    QVERIFY(shell.waitForStarted());
    shell.write("dumpsys input | grep SurfaceOrientation\necho done\n");
    shell.closeWriteChannel();
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(shell.readAllStandardOutput(), QByteArray("      SurfaceOrientation: 3\ndone\n"));

    // A phone that prints no such line: grep finds nothing and says so in its exit code.
    QVERIFY(device.setProperty(device.serial(), "dumpsysOrientation", false));
    r = device.runAdb({"shell", "dumpsys", "input"});
    QVERIFY(r.out.contains("SurfaceWidth: 2340px"));
    QVERIFY(!r.out.contains("SurfaceOrientation"));
    r = device.runAdb({"shell", "dumpsys input | grep SurfaceOrientation"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());

    r = device.runAdb({"shell", "dumpsys", "window"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("Can't find service: window"));
    r = device.runAdb({"shell", "dumpsys input | sort"});
    QCOMPARE(r.exitCode, 127);
    // A quoted bar is text, not a pipe.
    QCOMPARE(device.runAdb({"shell", "input text 'a|b'"}).exitCode, 0);
    QCOMPARE(device.deviceState().value("typedText").toString(), QString("a|b"));
}

void TestScreen::askedSizeOfAnotherRatioIsLetterboxed_data()
{
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QPoint>("bar");
    QTest::addColumn<QPoint>("screen");
    // 472 * 2340 / 1080 = 1022.7: the screen is 472x1022, one black row above
    // it and one below (the bottom one under the frame number's code).
    QTest::newRow("a row off") << QSize(472, 1024) << QPoint(247, 0) << QPoint(247, 2);
    // 480 * 1080 / 2340 = 221.5: the screen is 221x480 between bars of 129.
    QTest::newRow("square") << QSize(480, 480) << QPoint(60, 240) << QPoint(240, 240);
    QTest::newRow("same ratio, no bars") << QSize(216, 468) << QPoint(-1, -1) << QPoint(108, 0);
}

void TestScreen::askedSizeOfAnotherRatioIsLetterboxed()
{
    QFETCH(QSize, asked);
    QFETCH(QPoint, bar);
    QFETCH(QPoint, screen);
    SimDevice::Options opts;
    opts.faults = QJsonObject{{"recordFrames", 1}};
    SimDevice device(opts);
    const QString size = QString("%1x%2").arg(asked.width()).arg(asked.height());
    const AdbOutput r = runAdbBinary(device, recordArgs({"--size", size}));
    QCOMPARE(r.exitCode, 0);
    AnnexBDecoder stream;
    stream.feed(r.out, true);
    QCOMPARE(stream.decoder.lastSize(), asked);
    QCOMPARE(stream.decoder.codes(), QList<quint32>{0});
    if (bar.x() >= 0) {
        QVERIFY2(stream.decoder.lumaAround(bar.x(), bar.y(), 0) < kDark,
                 qPrintable(QString::number(stream.decoder.lumaAround(bar.x(), bar.y(), 0))));
    }
    // The screen's ramp never goes as dark as the bars.
    QVERIFY2(stream.decoder.lumaAround(screen.x(), screen.y(), 0) > kDark,
             qPrintable(QString::number(stream.decoder.lumaAround(screen.x(), screen.y(), 0))));
}

// Sides must be even for the encoder; a device may ask for multiples of 8.
void TestScreen::deviceMayInsistOnSidesOfEight()
{
    SimDevice::Options opts;
    opts.faults = QJsonObject{{"recordFrames", 1}};
    SimDevice device(opts);
    QCOMPARE(runAdbBinary(device, recordArgs({"--size", "156x340"})).exitCode, 0);
    QVERIFY(device.setProperty(device.serial(), "recordSizeAlign", 8));
    const AdbOutput r = runAdbBinary(device, recordArgs({"--size", "156x340"}));
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains("unable to configure video/avc codec at 156x340"), qPrintable(r.err));
    QCOMPARE(runAdbBinary(device, recordArgs({"--size", "152x336"})).exitCode, 0);
}

QTEST_GUILESS_MAIN(TestScreen)
#include "tst_screen.moc"

#include <QtTest>

#include "AppRun.h"
#include "SimDevice.h"

// The real program with arguments it must refuse, and with those that only print.
class TestCliRefusals : public QObject
{
    Q_OBJECT
private slots:
    void refusedValuesExitTwoAndStartNothing_data();
    void refusedValuesExitTwoAndStartNothing();
    void versionAndHelp();
    void listDevicesPrintsSerialAndState();
    void noDisplaySaysSoAndExitsOne_data();
    void noDisplaySaysSoAndExitsOne();
};

void TestCliRefusals::refusedValuesExitTwoAndStartNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("option");
    QTest::newRow("unknown") << QStringList{"--record", "r.mp4", "--frobnicate"} << "--frobnicate";
    QTest::newRow("not a number") << QStringList{"--record", "r.mp4", "--max-size", "wide"} << "--max-size";
    QTest::newRow("out of range") << QStringList{"--record", "r.mp4", "--max-fps", "5000"} << "--max-fps";
    QTest::newRow("bad suffix") << QStringList{"--bit-rate", "5G", "--record", "r.mp4"} << "--bit-rate";
    QTest::newRow("port") << QStringList{"--record", "r.mp4", "--port", "99999"} << "--port";
    QTest::newRow("push-target") << QStringList{"--record", "r.mp4", "--push-target", "sdcard"} << "--push-target";
    QTest::newRow("orientation") << QStringList{"--record", "r.mp4", "--lock-orientation", "7"} << "--lock-orientation";
    QTest::newRow("connection") << QStringList{"--record", "r.mp4", "--connection", "usb"} << "--connection";
    QTest::newRow("headless without file") << QStringList{"--no-display"} << "--no-display";
    QTest::newRow("unreadable keymap") << QStringList{"--record", "r.mp4", "--keymap", "nowhere.json"} << "--keymap";
    QTest::newRow("record suffix") << QStringList{"--no-display", "--record", "r.webm"} << "--record";
    QTest::newRow("crop") << QStringList{"--record", "r.mp4", "--crop", "1080:0:0:600"} << "--crop";
    QTest::newRow("display") << QStringList{"--record", "r.mp4", "--display-id", "first"} << "--display-id";
    QTest::newRow("half a position") << QStringList{"--record", "r.mp4", "--window-y", "20"} << "--window-y";
    QTest::newRow("window size") << QStringList{"--record", "r.mp4", "--window-height", "-5"} << "--window-height";
    QTest::newRow("time limit without file") << QStringList{"--time-limit", "10"} << "--time-limit";
    QTest::newRow("time limit zero") << QStringList{"--no-display", "--record", "r.mp4", "--time-limit", "0"} << "--time-limit";
    QTest::newRow("wireless address") << QStringList{"--record", "r.mp4", "--tcpip=192.168.1.300"} << "--tcpip";
    QTest::newRow("two devices without a window") << QStringList{"--no-display", "--record", "r.mp4", "-s", "A", "-s", "B"} << "--serial";
    QTest::newRow("view only with a keymap") << QStringList{"--record", "r.mp4", "--no-control", "--keymap",
                                                            VADIZEDE_SOURCE_DIR "/keymap/tile-farm.json"} << "--keymap";
}

void TestCliRefusals::refusedValuesExitTwoAndStartNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, option);
    SimDevice sim;
    QVERIFY(sim.isValid());
    AppRun app(sim);
    QVERIFY(app.run(args));
    QCOMPARE(app.exitCode(), 2);
    const QStringList lines = app.err().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith("vadizede: ") && lines.first().contains(option), qPrintable(lines.first()));
    QVERIFY(app.out().isEmpty());
    QVERIFY2(sim.invocations().isEmpty(), "adb was run");
    QVERIFY(!QFileInfo::exists(app.path("r.mp4")));
    QVERIFY(!QFileInfo::exists(app.path("r.webm")));
    // Not even the data directory: nothing of the run is left behind.
    QVERIFY(!QFileInfo::exists(app.path("data/VuvodiZidevi")));
}

void TestCliRefusals::versionAndHelp()
{
    SimDevice sim;
    AppRun app(sim);
    QVERIFY(app.run({"--version"}));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.out(), QString("VaDizede " VADIZEDE_VERSION "\n"));

    AppRun help(sim);
    QVERIFY(help.run({"--help"}));
    QCOMPARE(help.exitCode(), 0);
    QVERIFY2(help.out().contains("--no-display") && help.out().contains("--keymap <FILE|NAME>")
                 && help.out().contains("--crop <W:H:X:Y>") && help.out().contains("--tcpip=IP[:PORT]")
                 && help.out().contains("--push-target <DIR>"),
             qPrintable(help.out()));
    QVERIFY(sim.invocations().isEmpty());
}

void TestCliRefusals::listDevicesPrintsSerialAndState()
{
    SimDevice sim;
    SimDevice::Options second;
    second.serial = "SIM0002";
    second.state = "unauthorized";
    QVERIFY(sim.addDevice(second));
    AppRun app(sim);
    QVERIFY(app.run({"--list-devices"}));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.out(), QString("SIM0001\tdevice\nSIM0002\tunauthorized\n"));
    QCOMPARE(sim.invocations().size(), 1);
    QCOMPARE(sim.invocations().first().value("argv").toVariant().toStringList(), QStringList{"devices"});
}

void TestCliRefusals::noDisplaySaysSoAndExitsOne_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("unset") << QString();
    QTest::newRow("nobody there") << QString(":9731");
}

void TestCliRefusals::noDisplaySaysSoAndExitsOne()
{
    QFETCH(QString, display);
    SimDevice sim;
    QVERIFY(sim.isValid());
    AppRun app(sim);
    app.setEnvironment("DISPLAY", display);
    app.setEnvironment("WAYLAND_DISPLAY", QString());
    app.setEnvironment("QT_QPA_PLATFORM", QString());
    QVERIFY(app.run({}));
    QCOMPARE(app.exitCode(), 1);
    const QStringList lines = app.err().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList{"vadizede: cannot open the display; set DISPLAY, or use --no-display"});
    QVERIFY2(sim.invocations().isEmpty(), "adb was run");
    QVERIFY(app.logText().contains("Cannot open the display"));
}

QTEST_GUILESS_MAIN(TestCliRefusals)
#include "tst_cli_refusals.moc"

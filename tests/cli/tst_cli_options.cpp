#include <QtTest>

#include <csignal>

#include "AppRun.h"
#include "MediaProbe.h"
#include "SimDevice.h"
#include "SimLogs.h"

using SimLogs::lastServerEvent;
using SimLogs::waitForFileSize;

// What the picture, view-only, wireless and time-limit options ask of the device, read back
// from the simulated device while the real program records without a window.
class TestCliOptions : public QObject
{
    Q_OBJECT
private slots:
    void cropAndDisplayReachTheServer();
    void viewOnlyWaitsForNoControlConnection_data();
    void viewOnlyWaitsForNoControlConnection();
    void timeLimitEndsTheRunWithEveryFrameWritten();
    void shellConnectionIgnoresCropAndDisplay();
    void tcpipBringsTheDeviceOntoWifiThenMirrorsIt_data();
    void tcpipBringsTheDeviceOntoWifiThenMirrorsIt();
    void tcpipFailureNamesTheStep_data();
    void tcpipFailureNamesTheStep();

private:
    static int framesSent(const SimDevice& sim) { return lastServerEvent(sim, "exit").value("frames").toInt(); }
    static int framesWritten(const QString& file)
    {
        return probeVideoStream(file).value("nb_read_frames").toString().toInt();
    }
};

void TestCliOptions::cropAndDisplayReachTheServer()
{
    SimDevice sim;
    AppRun app(sim);
    const QString record = app.path("crop.mp4");
    app.start({"--no-display", "--record", record, "--crop", "1080:1080:0:600", "--display-id", "3"});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QVERIFY(waitForFileSize(record, 5000));
    app.signal(SIGINT);
    QVERIFY(app.finish(20000));
    QCOMPARE(app.exitCode(), 0);

    const QStringList args = lastServerEvent(sim, "start").value("args").toVariant().toStringList();
    QVERIFY2(args.contains("crop=1080:1080:0:600") && args.contains("display_id=3"), qPrintable(args.join(' ')));
    // The square part of the screen, scaled to the device's size limit, is the whole recording.
    const QJsonObject stream = probeVideoStream(record);
    QCOMPARE(stream.value("width").toInt(), 320);
    QCOMPARE(stream.value("height").toInt(), 320);
    QVERIFY2(app.out().contains("320x320"), qPrintable(app.out()));
}

void TestCliOptions::viewOnlyWaitsForNoControlConnection_data()
{
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("timeLimit");
    // Past the 20 s the reverse tunnel waits for the device's connections: the start stays made.
    QTest::newRow("reverse tunnel") << false << 21;
    QTest::newRow("forward tunnel") << true << 0;
}

void TestCliOptions::viewOnlyWaitsForNoControlConnection()
{
    QFETCH(bool, forward);
    QFETCH(int, timeLimit);
    SimDevice sim;
    AppRun app(sim);
    const QString record = app.path("view.mkv");
    QStringList args{"--no-display", "--record", record, "--no-control"};
    if (forward) {
        args << "--forward" << "--port" << QString::number(SimDevice::freePort());
    }
    if (timeLimit > 0) {
        args << "--time-limit" << QString::number(timeLimit);
    }
    app.start(args);
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QVERIFY(waitForFileSize(record, 5000));
    if (timeLimit == 0) {
        app.signal(SIGINT);
    }
    QVERIFY(app.finish(timeLimit * 1000 + 20000));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(app.err().isEmpty(), qPrintable(app.err()));

    QVERIFY(lastServerEvent(sim, "start").value("args").toVariant().toStringList().contains("control=false"));
    QCOMPARE(lastServerEvent(sim, "start").value("mode").toString(), QString(forward ? "forward" : "reverse"));
    // The device opened its video connection only, and the program took it as a whole start.
    QCOMPARE(lastServerEvent(sim, "connected").value("control").toBool(true), false);
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    QCOMPARE(lastServerEvent(sim, "exit").value("controlMessages").toInt(), 0);
    QVERIFY(framesWritten(record) > 0);
    QCOMPARE(framesWritten(record), framesSent(sim));
}

void TestCliOptions::timeLimitEndsTheRunWithEveryFrameWritten()
{
    SimDevice sim;
    AppRun app(sim);
    const QString record = app.path("limited.mp4");
    // Ends by itself: no signal is sent.
    QVERIFY(app.run({"--no-display", "--record", record, "--time-limit", "2"}, 40000));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(app.err().isEmpty(), qPrintable(app.err()));
    QVERIFY(app.logText().contains("recording time limit of 2 s reached"));

    // Finished as on Ctrl+C: what the device had sent is in the file, and the file is whole.
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    QCOMPARE(framesWritten(record), framesSent(sim));
    const double seconds = probe(record, {"-show_format"}).value("format").toObject().value("duration").toString().toDouble();
    QVERIFY2(seconds >= 1.5, qPrintable(QString("%1 s recorded").arg(seconds)));
}

void TestCliOptions::shellConnectionIgnoresCropAndDisplay()
{
    SimDevice sim;
    AppRun app(sim);
    const QString record = app.path("shell.mp4");
    QVERIFY(app.run({"--no-display", "--record", record, "--connection", "shell", "--crop", "100:100:0:0", "--display-id",
                     "1", "--time-limit", "1"},
                    40000));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.logText().count("crop and display id are ignored"), 1);
    // The phone's own recorder shows the whole screen.
    const QJsonObject stream = probeVideoStream(record);
    QVERIFY2(stream.value("height").toInt() > stream.value("width").toInt() + 100, qPrintable(QJsonDocument(stream).toJson()));
    for (const QStringList& call : adbCalls(sim)) {
        QVERIFY2(!call.contains("app_process"), qPrintable(call.join(' ')));
    }
}

void TestCliOptions::tcpipBringsTheDeviceOntoWifiThenMirrorsIt_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("switchedBefore");
    QTest::addColumn<QList<QStringList>>("firstCalls");
    QTest::newRow("switch the USB device")
        << "--tcpip" << false
        << QList<QStringList>{{"devices"},
                              {"-s", "SIM0001", "shell", "ifconfig", "wlan0"},
                              {"-s", "SIM0001", "tcpip", "5555"},
                              {"connect", "192.168.1.5:5555"}};
    QTest::newRow("connect an address") << "--tcpip=192.168.1.5" << true
                                        << QList<QStringList>{{"connect", "192.168.1.5:5555"}};
}

void TestCliOptions::tcpipBringsTheDeviceOntoWifiThenMirrorsIt()
{
    QFETCH(QString, option);
    QFETCH(bool, switchedBefore);
    QFETCH(QList<QStringList>, firstCalls);
    SimDevice sim;
    if (switchedBefore) {
        QCOMPARE(sim.runAdb({"-s", "SIM0001", "tcpip", "5555"}).exitCode, 0);
    }
    const int before = sim.invocations().size();
    AppRun app(sim);
    const QString record = app.path("wifi.mp4");
    QVERIFY(app.run({"--no-display", "--record", record, option, "--time-limit", "1"}, 40000));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(app.out().contains("Connected to 192.168.1.5:5555"), qPrintable(app.out()));

    const QList<QStringList> calls = adbCalls(sim).mid(before);
    QCOMPARE(calls.mid(0, firstCalls.size()), firstCalls);
    // From then on only the wireless serial is used.
    bool mirrored = false;
    for (const QStringList& call : calls.mid(firstCalls.size())) {
        QVERIFY2(!call.contains("SIM0001"), qPrintable(call.join(' ')));
        mirrored = mirrored || (call.value(1) == "192.168.1.5:5555" && call.contains("app_process"));
    }
    QVERIFY(mirrored);
    QVERIFY(framesWritten(record) > 0);
}

void TestCliOptions::tcpipFailureNamesTheStep_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("step");
    QTest::newRow("no Wi-Fi") << "--tcpip" << "ip" << QJsonValue("")
                              << "reading its Wi-Fi address (adb shell ifconfig wlan0) failed: ifconfig: wlan0: No such device";
    QTest::newRow("Wi-Fi without an address") << "--tcpip" << "ifconfig" << QJsonValue("wlan0     Link encap:UNSPEC")
                                              << "reading its Wi-Fi address (adb shell ifconfig wlan0) found none";
    QTest::newRow("nobody at the address") << "--tcpip=192.168.1.77:5556" << QString() << QJsonValue()
                                           << "connecting to 192.168.1.77:5556 (adb connect 192.168.1.77:5556) failed";
}

void TestCliOptions::tcpipFailureNamesTheStep()
{
    QFETCH(QString, option);
    QFETCH(QString, property);
    QFETCH(QJsonValue, value);
    QFETCH(QString, step);
    SimDevice sim;
    if (!property.isEmpty()) {
        QVERIFY(sim.setProperty(sim.serial(), property, value));
    }
    AppRun app(sim);
    QVERIFY(app.run({"--no-display", "--record", app.path("never.mp4"), option}, 30000));
    QCOMPARE(app.exitCode(), 1);
    const QStringList lines = app.err().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith("vadizede: ") && lines.first().contains(step), qPrintable(lines.first()));
    QVERIFY(sim.serverLog().isEmpty());
    QVERIFY(!QFileInfo::exists(app.path("never.mp4")));
}

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_cli_options.moc"

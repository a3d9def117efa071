#include <QtTest>

#include <csignal>

#include "AppRun.h"
#include "MediaProbe.h"
#include "SimDevice.h"
#include "SimLogs.h"

// Recording without a window, and the connection options, with the real program against
// the simulated device.
class TestCliHeadless : public QObject
{
    Q_OBJECT
private slots:
    void interruptWritesEveryFrameThatArrived_data();
    void interruptWritesEveryFrameThatArrived();
    void endsWithTheDeviceOrFailsAtOnceWithoutAFolder();
    void phoneWithoutServerIsRecordedThroughItsScreenRecorder();
    void serialPicksTheNamedDeviceAndWaitsForIt();
    void connectionOptionsReachServerAndTunnel();
    void showTouchesIsRestoredAfterTheConnection_data();
    void showTouchesIsRestoredAfterTheConnection();
};

using SimLogs::lastServerEvent;
using SimLogs::waitForFileSize;

void TestCliHeadless::interruptWritesEveryFrameThatArrived_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("container");
    QTest::newRow("mp4, SIGINT, new folder") << "new/folder/clip.mp4" << SIGINT << "mov,mp4";
    QTest::newRow("MKV in capitals, SIGTERM") << "Clip.MKV" << SIGTERM << "matroska";
}

void TestCliHeadless::interruptWritesEveryFrameThatArrived()
{
    QFETCH(QString, file);
    QFETCH(int, signalNumber);
    QFETCH(QString, container);
    SimDevice sim;
    QVERIFY(sim.isValid());
    AppRun app(sim);
    const QString record = app.path(file);
    app.start({"--no-display", "--record", record});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    // Some frames into the recording.
    QVERIFY(waitForFileSize(record, 8000));
    app.signal(signalNumber);
    QVERIFY(app.finish(20000));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(app.err().isEmpty(), qPrintable(app.err()));
    QVERIFY(app.out().contains("Recording SIM0001"));

    QVERIFY(sim.waitForServerEvent("exit", 10000));
    const int sent = lastServerEvent(sim, "exit").value("frames").toInt();
    const QJsonObject stream = probeVideoStream(record);
    QCOMPARE(stream.value("codec_name").toString(), QString("h264"));
    QCOMPARE(stream.value("width").toInt(), 148);
    QCOMPARE(stream.value("height").toInt(), 320);
    const int written = stream.value("nb_read_frames").toString().toInt();
    // Frames still on their way when the signal came are drained into the file too.
    QVERIFY2(written == sent, qPrintable(QString("%1 frames sent, %2 written").arg(sent).arg(written)));
    QVERIFY(written > 10);
    const QJsonObject format = probe(record, {"-show_format"}).value("format").toObject();
    QVERIFY2(format.value("format_name").toString().startsWith(container), qPrintable(format.value("format_name").toString()));
    QVERIFY(app.logText().contains("success record " + record));
}

void TestCliHeadless::endsWithTheDeviceOrFailsAtOnceWithoutAFolder()
{
    SimDevice::Options options;
    options.faults.insert("closeAfterFrames", 12);
    SimDevice sim(options);
    AppRun app(sim);
    const QString record = app.path("short.mp4");
    QVERIFY(app.run({"--no-display", "--record", record}, 30000));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(probeVideoStream(record).value("nb_read_frames").toString().toInt(), 12);

    // A folder that cannot be made fails at once, before the device is touched.
    const int calls = sim.invocations().size();
    AppRun unwritable(sim);
    QFile blocker(unwritable.path("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(unwritable.run({"--no-display", "--record", unwritable.path("blocker/clip.mp4")}, 30000));
    QCOMPARE(unwritable.exitCode(), 1);
    const QStringList lines = unwritable.err().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains("cannot write " + unwritable.path("blocker/clip.mp4")), qPrintable(lines.first()));
    QCOMPARE(sim.invocations().size(), calls);
}

void TestCliHeadless::phoneWithoutServerIsRecordedThroughItsScreenRecorder()
{
    SimDevice::Options options;
    options.properties.insert("serverless", true);
    SimDevice sim(options);
    QVERIFY(sim.isValid());
    AppRun app(sim);
    const QString record = app.path("phone.mp4");
    app.start({"--no-display", "--record", record, "--connection", "shell"});
    QVERIFY(waitForFileSize(record, 8000));
    app.signal(SIGINT);
    QVERIFY(app.finish(20000));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(app.err().isEmpty(), qPrintable(app.err()));

    int sent = -1;
    QTRY_VERIFY_WITH_TIMEOUT([&]() {
        for (const QJsonObject& event : sim.eventLog()) {
            if (event.value("event").toString() == "screenrecord-end") {
                sent = event.value("frames").toInt();
            }
        }
        return sent >= 0;
    }(), 10000);
    const QJsonObject stream = probeVideoStream(record);
    QCOMPARE(stream.value("codec_name").toString(), QString("h264"));
    QCOMPARE(QSize(stream.value("width").toInt(), stream.value("height").toInt()), QSize(144, 320));
    const int written = stream.value("nb_read_frames").toString().toInt();
    QVERIFY2(written > 10 && written <= sent, qPrintable(QString("%1 frames sent, %2 written").arg(sent).arg(written)));
    for (const QStringList& call : adbCalls(sim)) {
        QVERIFY2(!call.contains("push"), qPrintable(call.join(' ')));
    }
}

void TestCliHeadless::serialPicksTheNamedDeviceAndWaitsForIt()
{
    SimDevice sim;
    SimDevice::Options second;
    second.serial = "SIM0002";
    second.state = "offline";
    QVERIFY(sim.addDevice(second));
    AppRun app(sim);
    // A port of its own: the default one is also taken by any other run of the program on this
    // machine, which the suite's lock does not know of, and a taken port fails the connection.
    const QString port = QString::number(SimDevice::freePort());
    app.start({"--no-display", "--record", app.path("two.mkv"), "-s", "SIM0002", "--port", port});
    // The first poll finds SIM0002 offline; the chosen device is waited for, the other one left alone.
    QTRY_VERIFY_WITH_TIMEOUT(!adbCalls(sim).isEmpty(), 10000);
    QVERIFY(sim.setProperty("SIM0002", "state", "device"));
    QVERIFY(sim.waitForServerEvent("connected", 20000, "SIM0002"));
    QVERIFY(waitForFileSize(app.path("two.mkv"), 5000));
    app.signal(SIGINT);
    QVERIFY(app.finish(20000));
    QCOMPARE(app.exitCode(), 0);
    for (const QStringList& call : adbCalls(sim)) {
        QVERIFY2(!call.contains("SIM0001"), qPrintable(call.join(' ')));
    }
    QVERIFY(sim.serverLog("SIM0001").isEmpty());
}

void TestCliHeadless::connectionOptionsReachServerAndTunnel()
{
    SimDevice::Options options;
    options.sizeLimit = 0;
    options.screen = QSize(720, 1600);
    SimDevice sim(options);
    AppRun app(sim);
    const quint16 port = SimDevice::freePort();
    const QString record = app.path("options.mp4");
    app.start({"--no-display", "--record", record, "--max-size", "200", "--bit-rate", "1.5M", "--max-fps", "20",
               "--lock-orientation", "0", "--forward", "--port", QString::number(port), "--stay-awake"});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QVERIFY(waitForFileSize(record, 5000));
    app.signal(SIGINT);
    QVERIFY(app.finish(20000));
    QCOMPARE(app.exitCode(), 0);

    const QStringList args = lastServerEvent(sim, "start").value("args").toVariant().toStringList();
    for (const char* expected : {"max_size=200", "bit_rate=1500000", "max_fps=20", "lock_video_orientation=0",
                                    "tunnel_forward=true", "stay_awake=true"}) {
        QVERIFY2(args.contains(expected), qPrintable(QString(expected) + " not in " + args.join(' ')));
    }
    bool forwarded = false;
    for (const QStringList& call : adbCalls(sim)) {
        QVERIFY2(!call.contains("reverse"), qPrintable(call.join(' ')));
        forwarded = forwarded || call.contains("tcp:" + QString::number(port));
    }
    QVERIFY(forwarded);
    const QJsonObject stream = probeVideoStream(record);
    QCOMPARE(qMax(stream.value("width").toInt(), stream.value("height").toInt()), 200);
}

void TestCliHeadless::showTouchesIsRestoredAfterTheConnection_data()
{
    QTest::addColumn<QJsonValue>("before");
    QTest::newRow("was off") << QJsonValue("0");
    QTest::newRow("was unset") << QJsonValue();
}

void TestCliHeadless::showTouchesIsRestoredAfterTheConnection()
{
    QFETCH(QJsonValue, before);
    SimDevice sim;
    if (!before.isUndefined() && !before.isNull()) {
        QVERIFY(sim.setProperty(sim.serial(), "settings", QJsonObject{{"system", QJsonObject{{"show_touches", before}}}}));
    }
    const auto setting = [&sim]() {
        return sim.deviceState().value("settings").toObject().value("system").toObject().value("show_touches");
    };
    AppRun app(sim);
    app.start({"--no-display", "--record", app.path("touches.mp4"), "--show-touches"});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QTRY_COMPARE_WITH_TIMEOUT(setting(), QJsonValue("1"), 10000);
    QVERIFY(waitForFileSize(app.path("touches.mp4"), 5000));
    app.signal(SIGINT);
    QVERIFY(app.finish(20000));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(setting().isUndefined() || setting().isNull(), before.isUndefined() || before.isNull());
    if (before.isString()) {
        QCOMPARE(setting(), before);
    }
}

QTEST_GUILESS_MAIN(TestCliHeadless)
#include "tst_cli_headless.moc"

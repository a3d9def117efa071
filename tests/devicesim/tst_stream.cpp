// The simulated server brought up through the adb stand-in, end to end.
#include <QProcess>
#include <QTcpServer>
#include <QtTest>

#include "SimClient.h"
#include "SimDevice.h"
#include "TestPattern.h"

class TestStream : public QObject
{
    Q_OBJECT

private slots:
    void streamsAndObeysControl_data();
    void streamsAndObeysControl();
    void launchFailsLikeADevice();
    void killedShellTakesTheServerAlong();
    void removedReverseKeepsEstablishedConnections();
    void unpluggingDropsTheConnection();
    void sizeOverrideChangesTheStream();
};

void TestStream::streamsAndObeysControl_data()
{
    QTest::addColumn<bool>("forward");
    QTest::newRow("reverse") << false;
    QTest::newRow("forward") << true;
}

void TestStream::streamsAndObeysControl()
{
    QFETCH(bool, forward);
    SimDevice device;
    QVERIFY(device.isValid());
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, forward, launch, &why), qPrintable(why));
    QCOMPARE(launch.name, QString("Sim Device"));
    // 1080x2340 under the fixture's cap of 320.
    QCOMPARE(launch.size, QSize(148, 320));

    StreamReader reader(launch.video.get());
    H264Decoder decoder;
    QVERIFY(decoder.isOpen());
    qint64 pts = 0;
    QByteArray payload;
    QVERIFY(reader.readPacket(pts, payload));
    QCOMPARE(pts, qint64(-1));
    QVERIFY(payload.startsWith(QByteArray("\x00\x00\x00\x01", 4)));
    // The configuration goes in front of the first frame, as the application does.
    QByteArray pending = payload;

    qint64 lastPts = -1;
    while (decoder.codes().size() < 8) {
        QVERIFY(reader.readPacket(pts, payload));
        QVERIFY(pts > lastPts);
        lastPts = pts;
        decoder.decode(pending + payload);
        pending.clear();
    }
    QCOMPARE(decoder.lastSize(), launch.size);
    for (int i = 0; i < decoder.codes().size(); ++i) {
        QCOMPARE(decoder.codes().at(i), quint32(i));
    }

    // A touch down at (100, 200) of the 148x320 frame, HOME down, a clipboard
    // with paste, and a request for the device clipboard, written in one go.
    const QByteArray control = QByteArray::fromHex("02 00 ffffffffffffffff 00000064 000000c8 0094 0140 ffff 00000001"
                                                   "00 00 00000003 00000000 00000000"
                                                   "09 0000000000000000 01 00000003 616263"
                                                   "08 01");
    // Split mid-message to prove the reader waits for the rest.
    launch.control->write(control.left(20));
    launch.control->flush();
    QTest::qWait(50);
    launch.control->write(control.mid(20));
    launch.control->flush();
    QVERIFY(device.waitForControlLog(4));
    const QList<QJsonObject> log = device.controlLog();
    QCOMPARE(log.at(0).value("name").toString(), QString("INJECT_TOUCH"));
    QCOMPARE(log.at(0).value("pointerId").toInt(), -1);
    QCOMPARE(log.at(0).value("x").toInt(), 100);
    QCOMPARE(log.at(0).value("y").toInt(), 200);
    QCOMPARE(log.at(0).value("screenWidth").toInt(), 148);
    QCOMPARE(log.at(0).value("pressure").toDouble(), 1.0);
    QCOMPARE(log.at(0).value("buttons").toInt(), 1);
    QVERIFY(!log.at(0).contains("ignored"));
    QCOMPARE(log.at(1).value("keycode").toInt(), 3);
    QCOMPARE(log.at(2).value("text").toString(), QString("abc"));
    QCOMPARE(log.at(2).value("paste").toBool(), true);
    QCOMPARE(log.at(3).value("copyKey").toInt(), 1);
    QCOMPARE(device.deviceState().value("clipboard").toString(), QString("abc"));

    // The clipboard answer: type 0, length 3, "abc".
    QByteArray answer;
    while (answer.size() < 8 && (launch.control->bytesAvailable() > 0 || launch.control->waitForReadyRead(3000))) {
        answer += launch.control->readAll();
    }
    QCOMPARE(answer.left(8), QByteArray::fromHex("00 00000003 616263"));

    // The touch shows up in the picture as a white marker.
    const int before = decoder.codes().size();
    while (decoder.codes().size() < before + 4) {
        QVERIFY(reader.readPacket(pts, payload));
        decoder.decode(payload);
    }
    QVERIFY2(decoder.lumaAround(100, 200, 2) > 200, qPrintable(QString::number(decoder.lumaAround(100, 200, 2))));

    // Closing the video connection ends the server and so the shell, with success.
    launch.video->close();
    QVERIFY(launch.shell->waitForFinished(5000));
    QCOMPARE(launch.shell->exitCode(), 0);
    QVERIFY(device.waitForServerEvent("exit"));
}

void TestStream::launchFailsLikeADevice()
{
    SimDevice device;
    // Nothing pushed: the class is not found.
    SimDevice::AdbResult result = device.runAdb(serverCommand(false));
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("ClassNotFoundException"), qPrintable(result.err));

    // Some other file pushed in its place.
    QTemporaryFile other;
    QVERIFY(other.open());
    other.write("not a server\n");
    other.close();
    QCOMPARE(device.runAdb({"push", other.fileName(), "/data/local/tmp/dravik-server.jar"}).exitCode, 0);
    result = device.runAdb(serverCommand(false));
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains("ClassNotFoundException"));

    // The right file, the wrong version.
    QCOMPARE(device.runAdb({"push", SimDevice::serverFilePath(), "/data/local/tmp/dravik-server.jar"}).exitCode, 0);
    QStringList command = serverCommand(false);
    command[5] = "9.99";
    result = device.runAdb(command);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("does not match the client (9.99)"), qPrintable(result.err));

    // An argument the server does not know.
    result = device.runAdb(serverCommand(false, {"bogus=1"}));
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains("Unknown server option: bogus"));

    // No reverse tunnel: the server cannot reach the computer.
    result = device.runAdb(serverCommand(false));
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("Could not connect to localabstract:dravik"), qPrintable(result.err));
}

void TestStream::killedShellTakesTheServerAlong()
{
    SimDevice device;
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why), qPrintable(why));
    launch.shell->kill();
    QVERIFY(launch.shell->waitForFinished(3000));
    QVERIFY(device.waitForServerEvent("exit"));
    // The video connection is closed from the device side.
    QTRY_VERIFY_WITH_TIMEOUT(launch.video->state() == QAbstractSocket::UnconnectedState ||
                                 !launch.video->waitForReadyRead(100) || launch.video->atEnd(),
                             5000);
    bool killedLogged = false;
    for (const QJsonObject& line : device.invocations()) {
        killedLogged = killedLogged || (line.value("killed").toBool() &&
                                        line.value("argv").toArray().contains(QString("app_process")));
    }
    QVERIFY(killedLogged);
}

void TestStream::removedReverseKeepsEstablishedConnections()
{
    SimDevice device;
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why), qPrintable(why));
    const quint16 port = launch.listener->serverPort();
    QCOMPARE(device.runAdb({"reverse", "--remove", "localabstract:dravik"}).exitCode, 0);
    // Established: the stream goes on.
    StreamReader reader(launch.video.get());
    qint64 pts = 0;
    QByteArray payload;
    QVERIFY(reader.readPacket(pts, payload));
    QVERIFY(reader.readPacket(pts, payload));
    // New: a second server cannot connect any more.
    const SimDevice::AdbResult second = device.runAdb(serverCommand(false));
    QCOMPARE(second.exitCode, 1);
    QVERIFY(!launch.listener->hasPendingConnections());
    Q_UNUSED(port);
    // Removing it twice is an error, as with adb.
    const SimDevice::AdbResult again = device.runAdb({"reverse", "--remove", "localabstract:dravik"});
    QCOMPARE(again.exitCode, 1);
    QVERIFY(again.err.contains("not found"));
}

void TestStream::unpluggingDropsTheConnection()
{
    SimDevice device;
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, true, launch, &why), qPrintable(why));
    QVERIFY(device.setProperty("SIM0001", "state", "offline"));
    QVERIFY(launch.shell->waitForFinished(5000));
    QCOMPARE(launch.shell->exitCode(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(launch.video->state(), QAbstractSocket::UnconnectedState, 3000);
}

void TestStream::sizeOverrideChangesTheStream()
{
    SimDevice::Options options;
    options.sizeLimit = 0;
    options.properties.insert("wmSize", "360x780");
    SimDevice device(options);
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why, {"max_size=0"}), qPrintable(why));
    QCOMPARE(launch.size, QSize(360, 780));
}

QTEST_GUILESS_MAIN(TestStream)
#include "tst_stream.moc"

// Injected faults: what a broken or slow device does to the connection.
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "SimClient.h"
#include "SimDevice.h"

namespace {

SimDevice::Options withFault(const QString& name, const QJsonValue& value)
{
    SimDevice::Options options;
    options.faults.insert(name, value);
    return options;
}

// Reads frame packets until the stream ends; returns how many arrived.
int framesUntilEnd(StreamReader& reader)
{
    int frames = 0;
    qint64 pts = 0;
    QByteArray payload;
    while (reader.readPacket(pts, payload, 3000)) {
        if (pts >= 0) {
            ++frames;
        }
    }
    return frames;
}

// Skips whole packets and returns the length field of the next header as it stands on the
// wire; empty when the stream ended first.
QByteArray lengthAfter(StreamReader& reader, int packets)
{
    qint64 pts = 0;
    QByteArray payload;
    for (int packet = 0; packet < packets; ++packet) {
        if (!reader.readPacket(pts, payload)) {
            return QByteArray();
        }
    }
    QByteArray header;
    return reader.readExactly(header, 12) ? header.mid(8, 4) : QByteArray();
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void noHandshake();
    void closeAfterFrames();
    void truncatedPacket();
    void hugeLength();
    void reverseRefused();
    void slowStart();
    void abandonedAttemptDoesNotConfuseTheServer();
    void exitAtOnce();
    void unknownDeviceMessage();
    void closeAfterMs();
    void shortHandshake();
    void garbageInsteadOfVideo();
};

void TestFaults::noHandshake()
{
    SimDevice device(withFault("noHandshake", true));
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why, {}, false), qPrintable(why));
    QVERIFY(!launch.video->waitForReadyRead(1000));
    QCOMPARE(launch.video->state(), QAbstractSocket::ConnectedState);
}

void TestFaults::closeAfterFrames()
{
    SimDevice device(withFault("closeAfterFrames", 3));
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, true, launch, &why), qPrintable(why));
    StreamReader reader(launch.video.get());
    QCOMPARE(framesUntilEnd(reader), 3);
    QVERIFY(launch.shell->waitForFinished(5000));
    QCOMPARE(launch.shell->exitCode(), 0);
}

void TestFaults::truncatedPacket()
{
    SimDevice device(withFault("truncateAtFrame", 2));
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why), qPrintable(why));
    StreamReader reader(launch.video.get());
    // After the configuration and two frames, the cut packet: a header announcing 1000 bytes,
    // then only 500 and the end.
    QCOMPARE(lengthAfter(reader, 3), QByteArray::fromHex("000003e8"));
    QByteArray part;
    QVERIFY(reader.readExactly(part, 500));
    QVERIFY(!reader.readExactly(part, 1, 2000));
    QVERIFY(launch.shell->waitForFinished(5000));
}

void TestFaults::hugeLength()
{
    SimDevice::Options options = withFault("hugeLengthAtFrame", 1);
    options.faults.insert("hugeLengthValue", double(0xFFFFFFF0u));
    SimDevice device(options);
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why), qPrintable(why));
    StreamReader reader(launch.video.get());
    // After the configuration and frame 0.
    QCOMPARE(lengthAfter(reader, 2), QByteArray::fromHex("fffffff0"));
    // Then nothing more, while the connection stays up.
    QByteArray filler;
    QVERIFY(reader.readExactly(filler, 64));
    QVERIFY(!launch.video->waitForReadyRead(500));
    QCOMPARE(launch.video->state(), QAbstractSocket::ConnectedState);
}

void TestFaults::reverseRefused()
{
    SimDevice device(withFault("reverseRefused", true));
    const SimDevice::AdbResult refused = device.runAdb({"reverse", "localabstract:dravik", "tcp:27183"});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(!refused.err.isEmpty());
    // The application falls back to forward mode, which works.
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, true, launch, &why), qPrintable(why));
    QCOMPARE(launch.size, QSize(148, 320));
}

void TestFaults::slowStart()
{
    SimDevice device(withFault("slowStartMs", 800));
    QElapsedTimer timer;
    timer.start();
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, true, launch, &why), qPrintable(why));
    QVERIFY2(timer.elapsed() >= 800, qPrintable(QString::number(timer.elapsed())));
}

void TestFaults::abandonedAttemptDoesNotConfuseTheServer()
{
    // A client whose first half of an attempt hit the tunnel before the server
    // listened sends only its second half; it gives up on it and tries again.
    SimDevice device;
    QCOMPARE(device.runAdb({"push", SimDevice::serverFilePath(), "/data/local/tmp/dravik-server.jar"}).exitCode, 0);
    const quint16 port = SimDevice::freePort();
    QCOMPARE(device.runAdb({"forward", QString("tcp:%1").arg(port), "localabstract:dravik"}).exitCode, 0);
    QProcess shell;
    shell.setProcessEnvironment(device.environment());
    shell.start(SimDevice::adbPath(), serverCommand(true));
    QVERIFY(device.waitForServerEvent("listening"));
    {
        QTcpSocket stray;
        stray.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(stray.waitForConnected(1000));
        QVERIFY(stray.waitForReadyRead(2000));
        QCOMPARE(stray.readAll(), QByteArray(1, '\0'));
    }
    QTest::qWait(200);
    QTcpSocket video;
    QTcpSocket control;
    video.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(video.waitForConnected(1000));
    control.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(control.waitForConnected(1000));
    StreamReader reader(&video);
    QByteArray dummy;
    QVERIFY(reader.readExactly(dummy, 1));
    QString name;
    QSize size;
    QVERIFY(reader.readDeviceInfo(name, size));
    QCOMPARE(size, QSize(148, 320));
    video.close();
    QVERIFY(shell.waitForFinished(5000));
}

void TestFaults::exitAtOnce()
{
    SimDevice device(withFault("exitAtOnce", 3));
    QCOMPARE(device.runAdb({"push", SimDevice::serverFilePath(), "/data/local/tmp/dravik-server.jar"}).exitCode, 0);
    const SimDevice::AdbResult result = device.runAdb(serverCommand(false), 5000);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 3);
}

void TestFaults::unknownDeviceMessage()
{
    SimDevice device(withFault("unknownDeviceMessage", true));
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why), qPrintable(why));
    QVERIFY(device.setProperty("SIM0001", "clipboard", "hi"));
    launch.control->write(QByteArray::fromHex("0801"));
    QByteArray answer;
    const QByteArray expected = QByteArray::fromHex("01 00000003 78797a" "00 00000002 6869");
    QElapsedTimer timer;
    timer.start();
    while (!answer.contains(expected) && timer.elapsed() < 5000) {
        if (launch.control->waitForReadyRead(200)) {
            answer += launch.control->readAll();
        }
    }
    QVERIFY2(answer.contains(expected), answer.toHex(' ').constData());
}

void TestFaults::closeAfterMs()
{
    SimDevice device(withFault("closeAfterMs", 300));
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, true, launch, &why), qPrintable(why));
    StreamReader reader(launch.video.get());
    // About nine frames at 30 fps; a loaded machine may deliver fewer, never none.
    QVERIFY(framesUntilEnd(reader) > 0);
    QVERIFY(launch.shell->waitForFinished(5000));
    QCOMPARE(launch.shell->exitCode(), 0);
}

void TestFaults::shortHandshake()
{
    SimDevice device(withFault("shortHandshake", 30));
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why, {}, false), qPrintable(why));
    StreamReader reader(launch.video.get());
    QByteArray head;
    QVERIFY(reader.readExactly(head, 30));
    QVERIFY2(head.startsWith("Sim Device"), head.toHex().constData());
    // The rest of the record never comes, and the connection stays up.
    QVERIFY(!reader.readExactly(head, 1, 500));
    QCOMPARE(launch.video->state(), QAbstractSocket::ConnectedState);
}

void TestFaults::garbageInsteadOfVideo()
{
    SimDevice device(withFault("garbageFromFrame", 1));
    SimLaunch launch;
    QString why;
    QVERIFY2(launchServer(device, false, launch, &why), qPrintable(why));
    StreamReader reader(launch.video.get());
    qint64 pts = 0;
    QByteArray configuration, first, second;
    QVERIFY(reader.readPacket(pts, configuration) && reader.readPacket(pts, first) && reader.readPacket(pts, second));
    QVERIFY2(first.contains(QByteArray::fromHex("000001")), first.left(8).toHex().constData());
    // Framed as a picture, but no start code: nothing a decoder can take.
    QVERIFY(pts >= 0 && !second.isEmpty());
    QVERIFY2(!second.contains(QByteArray::fromHex("000001")), second.left(8).toHex().constData());
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"

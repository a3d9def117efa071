// Bring-up against the simulated device: both tunnel modes, the server command line,
// what is left open and removed afterwards, and every failure reported exactly once.
#include <QtTest>

#include <QTcpSocket>

#include "ServerHarness.h"
#include "server/ForwardAttempt.h"
#include "server/VideoSocket.h"

using dvk::Server;

namespace {

QStringList expectedFixedArgs(const dvk::DeviceParams& params)
{
    return {"shell", "CLASSPATH=" + params.serverRemotePath, "app_process", "/", "com.kelvanorth.dravik.Server",
            params.serverVersion};
}

QJsonObject lastServerEvent(const SimDevice& sim, const QString& event)
{
    QJsonObject found;
    for (const QJsonObject& entry : sim.serverLog()) {
        if (entry.value("event").toString() == event) {
            found = entry;
        }
    }
    return found;
}

// The longest time the event loop went without serving a 10 ms timer, while it runs.
class LoopGaps
{
public:
    LoopGaps()
    {
        m_sinceTick.start();
        QObject::connect(&m_ticker, &QTimer::timeout, [this]() {
            m_longest = qMax(m_longest, m_sinceTick.restart());
        });
        m_ticker.start(10);
    }

    qint64 longest() const { return qMax(m_longest, m_sinceTick.elapsed()); }

private:
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

bool isListening(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    const bool connected = probe.waitForConnected(1000);
    probe.abort();
    return connected;
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reverseStartHandsOverBothSockets();
    void valuesTheDeviceCannotUseStillStream();
    void forwardMode_data();
    void forwardMode();
    void forwardWaitsWithoutHoldingEvents_data();
    void forwardWaitsWithoutHoldingEvents();
    void failureReportedOnce_data();
    void failureReportedOnce();
    void recordAwaitedWhileEventsGoOn();
    void serverEndingWhileRunningIsReported();
    void stopBeforeStartDoesNothing();
    void stopDuringBringUpEndsItQuietly();
    void viewOnlyHasOnlyTheVideoConnection_data();
    void viewOnlyHasOnlyTheVideoConnection();
};

void TestServer::initTestCase()
{
    SimDevice probe(false);
    QVERIFY2(probe.isValid(), "the simulated device is not built");
}

void TestServer::reverseStartHandsOverBothSockets()
{
    ServerHarness h;
    h.params.logLevel.clear();
    const qint64 took = h.startAndWait(15000);
    QVERIFY(took >= 0);
    qInfo("reverse bring-up took %lld ms", took);

    const QList<QVariant> result = h.started.takeFirst();
    QCOMPARE(result.at(0).toBool(), true);
    const QJsonObject connected = lastServerEvent(h.sim, "connected");
    QCOMPARE(result.at(1).toString(), QString("Sim Device"));
    QCOMPARE(result.at(2).toSize(), QSize(connected.value("width").toInt(), connected.value("height").toInt()));
    QVERIFY(h.server.isReverse());

    // Once both connections are there, nobody else may connect and the tunnel goes; the connections stay.
    QVERIFY(!isListening(h.params.localPort));
    QTRY_VERIFY_WITH_TIMEOUT(h.hasInvocation({"reverse", "--remove", "localabstract:dravik"}), 5000);
    QVERIFY(h.invocations("forward").isEmpty());
    dvk::VideoSocket* video = h.server.getVideoSocket();
    QTcpSocket* control = h.server.getControlSocket();
    QVERIFY(video && control && video != control);
    QCOMPARE(control->state(), QAbstractSocket::ConnectedState);
    QTRY_VERIFY_WITH_TIMEOUT(video->bytesAvailable() > 100, 5000); // the stream flows past the handshake

    h.server.stop();
    QVERIFY(!h.server.getVideoSocket() && !h.server.getControlSocket());
    QTRY_COMPARE_WITH_TIMEOUT(h.stopped.count(), 1, 5000);
    h.server.stop();
    QVERIFY(h.waitConnectionEnd());
    QCOMPARE(h.stopped.count(), 1);
    QCOMPARE(h.started.count(), 0);

    // With every optional argument empty the command line is exactly these 15 arguments.
    const QStringList expected = expectedFixedArgs(h.params)
        + QStringList{"max_size=720", "bit_rate=8000000", "max_fps=30", "lock_video_orientation=-1",
                      "tunnel_forward=false", "control=true", "display_id=0", "show_touches=false",
                      "stay_awake=false"};
    QCOMPARE(expected.size(), 15);
    QCOMPARE(ServerHarness::argv(h.invocations("shell").first()), expected);
}

void TestServer::valuesTheDeviceCannotUseStillStream()
{
    ServerHarness h;
    h.params.logLevel = "warning";
    h.params.maxFps = 2000;
    h.params.bitRate = 4000000000u;
    QVERIFY(h.startAndWait(15000) >= 0);
    QCOMPARE(h.started.takeFirst().at(0).toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(h.server.getVideoSocket()->bytesAvailable() > 100, 5000);

    QStringList named;
    for (const QJsonObject& entry : h.sim.serverLog()) {
        if (entry.value("event").toString() == "unusable") {
            named << entry.value("what").toString().section(' ', 0, 0);
        }
    }
    named.sort();
    QCOMPARE(named, QStringList({"bit_rate=4000000000", "log_level=warning", "max_fps=2000"}));
}

void TestServer::forwardMode_data()
{
    QTest::addColumn<bool>("useReverse");
    QTest::addColumn<bool>("reverseRefused");
    QTest::newRow("reverse refused, falls back") << true << true;
    QTest::newRow("reverse not allowed") << false << false;
}

void TestServer::forwardMode()
{
    QFETCH(bool, useReverse);
    QFETCH(bool, reverseRefused);

    SimDevice::Options options;
    options.faults.insert("reverseRefused", reverseRefused);
    ServerHarness h(options);
    LogCapture log;
    h.params.useReverse = useReverse;
    h.params.maxSize = 1024;
    h.params.stayAwake = true;
    h.params.logLevel = "warn";
    h.params.crop = "1000:2000:40:100";
    h.params.codecOptions = "g=30";
    h.params.codecName = "libx264";
    const qint64 took = h.startAndWait(15000);
    QVERIFY(took >= 0);
    qInfo("forward bring-up took %lld ms", took);

    const QList<QVariant> result = h.started.takeFirst();
    QCOMPARE(result.at(0).toBool(), true);
    QCOMPARE(result.at(1).toString(), QString("Sim Device"));
    QVERIFY(result.at(2).toSize().isValid());
    QVERIFY(!h.server.isReverse());
    QCOMPARE(h.invocations("reverse").size(), useReverse ? 1 : 0);
    QCOMPARE(log.count("adb reverse failed"), reverseRefused ? 1 : 0);
    const QString port = QString("tcp:%1").arg(h.params.localPort);
    QVERIFY(h.hasInvocation({"forward", port, "localabstract:dravik"}));

    // The tunnel is removed once connected, the established connections carry on.
    QTRY_VERIFY_WITH_TIMEOUT(h.hasInvocation({"forward", "--remove", port}), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(h.server.getVideoSocket()->bytesAvailable() > 100, 5000);
    QCOMPARE(h.server.getControlSocket()->state(), QAbstractSocket::ConnectedState);

    h.server.stop();
    QTRY_COMPARE_WITH_TIMEOUT(h.stopped.count(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(h.invocations("shell").size(), 1, 5000);
    const QStringList expected = expectedFixedArgs(h.params)
        + QStringList{"log_level=warn",      "max_size=1024",
                      "bit_rate=8000000",    "max_fps=30",
                      "lock_video_orientation=-1", "tunnel_forward=true",
                      "crop=1000:2000:40:100", "control=true",
                      "display_id=0",        "show_touches=false",
                      "stay_awake=true",     "codec_options=g=30",
                      "encoder_name=libx264"};
    QCOMPARE(ServerHarness::argv(h.invocations("shell").first()), expected);
}

void TestServer::forwardWaitsWithoutHoldingEvents_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("logLine");

    const QString retry("video socket connect to server read device info failed, try again");
    QTest::newRow("silent server") << QString("silent") << QJsonValue(true) << false << retry;
    QTest::newRow("server listens late") << QString("slowStartMs") << QJsonValue(1500) << true << retry;
    QTest::newRow("short handshake") << QString("shortHandshake") << QJsonValue(30) << false
                                     << QString("Could not retrieve device information");
}

// The forward poll waits for the device through the event loop: timers go on firing while
// the server is silent, slow or short, and the outcomes stay those of the waits' limits.
void TestServer::forwardWaitsWithoutHoldingEvents()
{
    QFETCH(QString, fault);
    QFETCH(QJsonValue, value);
    QFETCH(bool, succeeds);
    QFETCH(QString, logLine);

    SimDevice::Options options;
    options.faults.insert(fault, value);
    ServerHarness h(options);
    LogCapture log;
    h.params.useReverse = false;
    const LoopGaps gaps;
    const qint64 took = h.startAndWait(20000);
    const qint64 longestGap = gaps.longest();
    QVERIFY(took >= 0);
    qInfo("outcome after %lld ms; the event loop's longest gap was %lld ms", took, longestGap);

    QCOMPARE(h.started.first().at(0).toBool(), succeeds);
    QVERIFY2(log.contains(logLine), qPrintable(logLine));
    // Waiting inside the socket calls held the loop for a whole wait (a second for the first
    // byte); only a stall that long is judged here, whatever the machine's load. Speed is the bench's.
    QVERIFY2(longestGap < dvk::ForwardAttempt::FIRST_BYTE_WAIT_MS,
             qPrintable(QString("the loop stood still for %1 ms").arg(longestGap)));
    QCOMPARE(log.count("restart server auto"), 0);

    h.server.stop();
    QVERIFY(h.waitConnectionEnd());
    QCOMPARE(h.started.count(), 1);
}

void TestServer::failureReportedOnce_data()
{
    QTest::addColumn<bool>("useReverse");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("pushFails");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("push fails") << true << QString() << true << QString("adb push failed");
    QTest::newRow("server exits at once, reverse")
        << true << QString("exitAtOnce") << false << QString("server exited before the connection was made");
    QTest::newRow("server exits at once, forward")
        << false << QString("exitAtOnce") << false << QString("server exited before the connection was made");
    QTest::newRow("no handshake, reverse")
        << true << QString("noHandshake") << false << QString("Could not retrieve device information");
    QTest::newRow("no handshake, forward")
        << false << QString("noHandshake") << false
        << QString("video socket connect to server read device info failed, try again");
    QTest::newRow("short handshake, reverse")
        << true << QString("shortHandshake=30") << false << QString("Could not retrieve device information");
    QTest::newRow("record later than the wait, reverse")
        << true << QString("handshakeDelayMs=1500") << false << QString("Could not retrieve device information");
}

void TestServer::failureReportedOnce()
{
    QFETCH(bool, useReverse);
    QFETCH(QString, fault);
    QFETCH(bool, pushFails);
    QFETCH(QString, logLine);

    SimDevice::Options options;
    if (!fault.isEmpty()) {
        const QString value = fault.section('=', 1);
        options.faults.insert(fault.section('=', 0, 0), value.isEmpty() ? QJsonValue(true) : QJsonValue(value.toInt()));
    }
    ServerHarness h(options);
    LogCapture log;
    h.params.useReverse = useReverse;
    if (pushFails) {
        h.params.serverLocalPath = h.sim.home() + "/no-such-server-file";
    }
    const qint64 took = h.startAndWait(15000);
    QVERIFY(took >= 0);
    QVERIFY2(took < 10000, "a failure the bring-up can see must not wait for a time-out");

    const QList<QVariant> result = h.started.first();
    QCOMPARE(result.at(0).toBool(), false);
    QCOMPARE(result.at(1).toString(), QString());
    QCOMPARE(result.at(2).toSize(), QSize(-1, -1));
    QVERIFY2(log.contains(logLine), qPrintable(logLine));
    QVERIFY(!h.server.getVideoSocket());
    // Only a server that could not run counts as refused; one the bring-up hung up on ran.
    QCOMPARE(h.server.startRefused(), fault == "exitAtOnce");
    if (pushFails) {
        QVERIFY(h.invocations("reverse").isEmpty() && h.invocations("shell").isEmpty());
    }

    // The owner tears down after a failure; that must not report anything more.
    h.server.stop();
    QVERIFY(h.waitConnectionEnd());
    QCOMPARE(h.started.count(), 1);
    QCOMPARE(h.stopped.count(), 0);
    QCOMPARE(log.count("restart server auto"), 0);
}

// The record comes a while after both connections: the window's events must go on meanwhile,
// and the bring-up still succeeds once it is there.
void TestServer::recordAwaitedWhileEventsGoOn()
{
    SimDevice::Options options;
    options.faults.insert("handshakeDelayMs", 200);
    ServerHarness h(options);
    int ticksWhileAwaited = 0;
    bool bothConnected = false;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&]() {
        bothConnected = bothConnected || !lastServerEvent(h.sim, "connected").isEmpty();
        if (bothConnected && h.started.isEmpty()) {
            ++ticksWhileAwaited;
        }
    });
    ticker.start(10);
    QVERIFY(h.startAndWait(15000) >= 0);
    QCOMPARE(h.started.first().at(0).toBool(), true);
    QCOMPARE(h.started.first().at(1).toString(), QString("Sim Device"));
    QVERIFY2(ticksWhileAwaited >= 3, qPrintable(QString("%1 timer ticks while the record was awaited").arg(ticksWhileAwaited)));
    QTRY_VERIFY_WITH_TIMEOUT(h.server.getVideoSocket()->bytesAvailable() > 100, 5000);
}

void TestServer::serverEndingWhileRunningIsReported()
{
    SimDevice::Options options;
    options.faults.insert("closeAfterFrames", 5);
    ServerHarness h(options);
    QVERIFY(h.server.start(h.params));
    QVERIFY(h.waitStarted(15000));
    QCOMPARE(h.started.first().at(0).toBool(), true);

    QTRY_COMPARE_WITH_TIMEOUT(h.stopped.count(), 1, 10000);
    h.server.stop();
    QVERIFY(h.waitConnectionEnd());
    QCOMPARE(h.stopped.count(), 1);
    QCOMPARE(h.started.count(), 1);
}

void TestServer::stopBeforeStartDoesNothing()
{
    ServerHarness h;
    h.server.stop();
    h.server.stop();
    // Nothing was started, so nothing can still be under way.
    QCoreApplication::processEvents();
    QCOMPARE(h.started.count(), 0);
    QCOMPARE(h.stopped.count(), 0);
    QVERIFY(!h.server.getVideoSocket() && !h.server.getControlSocket());
    QVERIFY(h.sim.invocations().isEmpty());
}

void TestServer::stopDuringBringUpEndsItQuietly()
{
    ServerHarness h;
    QVERIFY(h.server.start(h.params));
    h.server.stop();
    QTest::qWait(2000);
    QCOMPARE(h.started.count(), 0);
    QCOMPARE(h.stopped.count(), 0);
    QVERIFY(h.invocations("shell").isEmpty());
    QVERIFY(lastServerEvent(h.sim, "start").isEmpty());
}

void TestServer::viewOnlyHasOnlyTheVideoConnection_data()
{
    QTest::addColumn<bool>("useReverse");
    QTest::newRow("reverse") << true;
    QTest::newRow("forward") << false;
}

void TestServer::viewOnlyHasOnlyTheVideoConnection()
{
    QFETCH(bool, useReverse);
    ServerHarness h;
    h.params.useReverse = useReverse;
    h.params.control = false;
    h.params.displayId = 2;
    QVERIFY(h.startAndWait(15000) >= 0);
    QCOMPARE(h.started.takeFirst().at(0).toBool(), true);
    QCOMPARE(h.server.isReverse(), useReverse);
    QVERIFY(!h.server.getControlSocket());
    QTRY_VERIFY_WITH_TIMEOUT(h.server.getVideoSocket()->bytesAvailable() > 100, 5000);
    const QStringList args = lastServerEvent(h.sim, "start").value("args").toVariant().toStringList();
    QVERIFY2(args.contains("control=false") && args.contains("display_id=2"), qPrintable(args.join(' ')));
    QCOMPARE(lastServerEvent(h.sim, "connected").value("control").toBool(true), false);
    // The tunnel goes as after a start with both connections.
    const QString tunnel = useReverse ? QString("localabstract:dravik") : QString("tcp:%1").arg(h.params.localPort);
    QTRY_VERIFY_WITH_TIMEOUT(h.hasInvocation({useReverse ? "reverse" : "forward", "--remove", tunnel}), 5000);
    h.server.stop();
    QTRY_COMPARE_WITH_TIMEOUT(h.stopped.count(), 1, 5000);
    QVERIFY(h.started.isEmpty());
}

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"

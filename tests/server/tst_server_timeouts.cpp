// The two bring-up failures that only a time-out ends, with the shipped waits.
#include <QtTest>

#include "ServerHarness.h"

class TestServerTimeouts : public QObject
{
    Q_OBJECT

private slots:
    void reverseGivesUpWhenNobodyConnects();
    void forwardPollRunsOutTwiceAroundOneRestart();
};

void TestServerTimeouts::reverseGivesUpWhenNobodyConnects()
{
    SimDevice::Options options;
    options.faults.insert("slowStartMs", 60000);
    ServerHarness h(options);
    LogCapture log;
    const qint64 took = h.startAndWait(30000);
    QVERIFY(took >= 0);
    // Only the lower bound: a loaded machine can make the wait longer, never shorter. The
    // upper one is startAndWait's own 30 s.
    QVERIFY2(took >= 19000, qPrintable(QString::number(took)));
    QCOMPARE(h.started.first().at(0).toBool(), false);
    QCOMPARE(log.count("timerEvent server started false"), 1);

    // What the time-out left in place goes with the owner's stop, without a further report.
    h.server.stop();
    QTRY_VERIFY_WITH_TIMEOUT(h.hasInvocation({"reverse", "--remove", "localabstract:dravik"}), 5000);
    QVERIFY(h.waitConnectionEnd());
    QCOMPARE(h.started.count(), 1);
    QCOMPARE(h.stopped.count(), 0);
}

void TestServerTimeouts::forwardPollRunsOutTwiceAroundOneRestart()
{
    // The server never listens, so adb's end of the forward tunnel answers and hangs up every time.
    SimDevice::Options options;
    options.faults.insert("slowStartMs", 60000);
    options.faults.insert("reverseRefused", true);
    ServerHarness h(options);
    LogCapture log;
    QVERIFY(h.server.start(h.params));
    QVERIFY(h.waitStarted(60000));
    QCOMPARE(h.started.first().at(0).toBool(), false);

    const int attempts = log.count("video socket connect to server read device info failed, try again")
        + log.count("connect to server failed") + log.count("video socket connect to server failed")
        + log.count("control socket connect to server failed");
    QCOMPARE(attempts, 62);
    QCOMPARE(log.count("restart server auto"), 1);
    // The restart begins again from the push and chooses the tunnel mode afresh.
    QCOMPARE(h.invocations("push").size(), 2);
    QCOMPARE(h.invocations("reverse").size(), 2);
    const QString port = QString("tcp:%1").arg(h.params.localPort);
    int forwards = 0;
    for (const QJsonObject& entry : h.invocations("forward")) {
        forwards += ServerHarness::argv(entry) == QStringList{"forward", port, "localabstract:dravik"};
    }
    QCOMPARE(forwards, 2);
    // Each exhausted round took its own tunnel down.
    QTRY_VERIFY_WITH_TIMEOUT(h.invocations("forward").size() == 4, 5000);

    h.server.stop();
    QVERIFY(h.waitConnectionEnd());
    QCOMPARE(h.started.count(), 1);
    QCOMPARE(h.stopped.count(), 0);
}

QTEST_GUILESS_MAIN(TestServerTimeouts)
#include "tst_server_timeouts.moc"

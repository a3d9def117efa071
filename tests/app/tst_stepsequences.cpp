// The window's step sequences against the simulated device: the wireless switch and the
// reconnection. Each step starts when the one before has reported; a failing step is reported
// once, and the switch runs nothing after it.
#include <QSignalSpy>
#include <QtTest>

#include "Reconnection.h"
#include "SimDevice.h"
#include "SimTestSetup.h"
#include "SimDeviceParams.h"
#include "WirelessSwitch.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"

namespace {

const QString kSwitchLine = QStringLiteral("wireless switch: ");

// The adb commands run for the device, without the "-s SERIAL" in front.
QList<QStringList> commandsFor(const SimDevice& sim, const QString& serial)
{
    QList<QStringList> commands;
    for (const QJsonObject& entry : sim.invocations()) {
        QStringList args;
        for (const QJsonValue& arg : entry.value("argv").toArray()) {
            args << arg.toString();
        }
        if (args.value(0) == "-s" && args.value(1) == serial) {
            commands << args.mid(2);
        } else if (args.value(0) == "connect" || args.value(0) == "disconnect") {
            commands << args;
        }
    }
    return commands;
}

} // namespace

class TestStepSequences : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void wirelessSwitchReachesTheNetworkSerial();
    void wirelessSwitchStopsAtItsFailingStep_data();
    void wirelessSwitchStopsAtItsFailingStep();
    void reconnectionGoesOnWhenAdbHasNoWirelessConnection();
    void reconnectionOfADeviceAlreadyGoneStillHandsBack();

private:
    SimTestSetup m_setup;
};

void TestStepSequences::initTestCase()
{
    QVERIFY(m_setup.prepare());
}

void TestStepSequences::init()
{
    m_setup.log->clear();
}

void TestStepSequences::wirelessSwitchReachesTheNetworkSerial()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    WirelessSwitch wireless;
    QSignalSpy switched(&wireless, &WirelessSwitch::switched);
    QSignalSpy failed(&wireless, &WirelessSwitch::failed);

    QVERIFY(wireless.start(sim.serial()));
    QVERIFY(!wireless.start(sim.serial()));
    QVERIFY(switched.wait(20000));
    QCOMPARE(switched.first().first().toString(), QStringLiteral("192.168.1.5:5555"));
    QCOMPARE(failed.count(), 0);
    QVERIFY(!wireless.isRunning());
    const QList<QStringList> commands = commandsFor(sim, sim.serial());
    QCOMPARE(commands, (QList<QStringList>{{"shell", "ifconfig", "wlan0"}, {"tcpip", "5555"},
                                           {"connect", "192.168.1.5:5555"}}));
}

void TestStepSequences::wirelessSwitchStopsAtItsFailingStep_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<int>("commandsRun");

    QTest::newRow("address unreadable") << "state" << QJsonValue("offline")
                                        << "could not read the wireless address of SIM0001: adb failed: " << 1;
    QTest::newRow("no address") << "ifconfig" << QJsonValue("wlan0     Link encap:UNSPEC\n")
                                << "SIM0001 has no wireless address" << 1;
    // The device reports an address it cannot be reached at.
    QTest::newRow("connection refused")
        << "ifconfig" << QJsonValue("wlan0     Link encap:UNSPEC\n          inet addr:10.1.2.3  Mask:255.255.255.0\n")
        << "could not connect to 10.1.2.3 over the network: adb failed: " << 3;
}

void TestStepSequences::wirelessSwitchStopsAtItsFailingStep()
{
    QFETCH(QString, property);
    QFETCH(QJsonValue, value);
    QFETCH(QString, reported);
    QFETCH(int, commandsRun);

    SimDevice sim;
    QVERIFY(sim.isValid());
    QVERIFY(sim.setProperty(sim.serial(), property, value));
    WirelessSwitch wireless;
    QSignalSpy switched(&wireless, &WirelessSwitch::switched);
    QSignalSpy failed(&wireless, &WirelessSwitch::failed);

    QVERIFY(wireless.start(sim.serial()));
    QVERIFY(failed.wait(20000));
    QCOMPARE(failed.count(), 1);
    QVERIFY2(failed.first().first().toString().startsWith(reported), qPrintable(failed.first().first().toString()));
    QCOMPARE(m_setup.log->countStartingWith(QtWarningMsg, kSwitchLine), 1);
    QCOMPARE(commandsFor(sim, sim.serial()).size(), commandsRun);
    QVERIFY(!wireless.isRunning());

    // A later switch is a fresh start: it fails at the same step and is reported once more.
    QVERIFY(wireless.start(sim.serial()));
    QVERIFY(failed.wait(20000));
    QCOMPARE(failed.count(), 2);
    QCOMPARE(m_setup.log->countStartingWith(QtWarningMsg, kSwitchLine), 2);
    QCOMPARE(switched.count(), 0);
}

void TestStepSequences::reconnectionGoesOnWhenAdbHasNoWirelessConnection()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);
    QSignalSpy disconnected(&registry, &dvk::IDeviceManage::deviceDisconnected);
    QVERIFY(registry.connectDevice(simParams(sim.serial())));
    QVERIFY(connected.wait(15000));
    QVERIFY(connected.first().first().toBool());

    Reconnection reconnection;
    QSignalSpy ready(&reconnection, &Reconnection::readyToConnect);
    QVERIFY(reconnection.start(sim.serial()));
    QVERIFY(!reconnection.start(sim.serial()));
    QVERIFY(ready.wait(15000));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(ready.first().first().toString(), sim.serial());
    // A USB serial has no wireless connection to end: adb refuses, which is said once, and the
    // device has left the registry all the same, before the window is handed back.
    QCOMPARE(commandsFor(sim, sim.serial()).count({"disconnect", sim.serial()}), 1);
    QCOMPARE(m_setup.log->countStartingWith(QtInfoMsg, "reconnect: no wireless connection of SIM0001 ended"), 1);
    QCOMPARE(m_setup.log->countStartingWith(QtInfoMsg, "reconnect: SIM0001 had already left"), 0);
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(!registry.getDevice(sim.serial()));
    QVERIFY(!reconnection.isRunning());
}

void TestStepSequences::reconnectionOfADeviceAlreadyGoneStillHandsBack()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    Reconnection reconnection;
    QSignalSpy ready(&reconnection, &Reconnection::readyToConnect);
    QVERIFY(reconnection.start(sim.serial()));
    QVERIFY(ready.wait(15000));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(m_setup.log->countStartingWith(QtInfoMsg, "reconnect: no wireless connection of SIM0001 ended"), 1);
    QCOMPARE(m_setup.log->countStartingWith(QtInfoMsg, "reconnect: SIM0001 had already left"), 1);
}

QTEST_GUILESS_MAIN(TestStepSequences)
#include "tst_stepsequences.moc"

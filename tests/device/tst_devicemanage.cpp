#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "AppPath.h"
#include "DeviceTestSupport.h"
#include "SimTestSetup.h"

#include <memory>
#include "adb/AdbProcess.h"
#include "device/DeviceManage.h"

using namespace dvk;

class TestDeviceManage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void refusesBlankAndDuplicateSerials();
    void refusesBeyondTheLimit();
    void failureReportRemovesEntry();
    void disconnectDeviceReportsBeforeReturning();
    void disconnectAllDeviceInSerialOrder();

private:
    SimTestSetup m_setup;
};

void TestDeviceManage::initTestCase()
{
    QVERIFY(m_setup.prepare());
}

void TestDeviceManage::init()
{
    m_setup.log->clear();
}

void TestDeviceManage::refusesBlankAndDuplicateSerials()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    DeviceManage manage;
    QSignalSpy connected(&manage, &IDeviceManage::deviceConnected);
    m_setup.log->clear();

    QVERIFY(!manage.connectDevice(simParams("   ")));
    QVERIFY(m_setup.log->lines().isEmpty());
    QVERIFY(!manage.getDevice("   "));

    QVERIFY(manage.connectDevice(simParams(sim.serial())));
    QPointer<IDevice> device = manage.getDevice(sim.serial());
    QVERIFY(device);
    QVERIFY(!manage.connectDevice(simParams(sim.serial())));
    QCOMPARE(m_setup.log->count("connectDevice return connected alerady: " + sim.serial()), 1);
    QCOMPARE(manage.getDevice(sim.serial()), device);

    // The check trims, the key does not.
    QVERIFY(manage.connectDevice(simParams(" " + sim.serial())));
    QVERIFY(manage.getDevice(" " + sim.serial()));
    QVERIFY(manage.disconnectDevice(" " + sim.serial()));

    // The first connection was left alone by the refused duplicate.
    QVERIFY(connected.wait(15000));
    QCOMPARE(connected.first().at(1).toString(), sim.serial());
    QVERIFY(connected.first().at(0).toBool());
    QCOMPARE(manage.getDevice(sim.serial()), device);
    QVERIFY(manage.disconnectDevice(sim.serial()));
    QVERIFY(!device);
}

void TestDeviceManage::refusesBeyondTheLimit()
{
    DeviceManage manage;
    // Nothing reaches the event loop before the devices are gone, so no start runs.
    DeviceParams params;
    params.serverLocalPath = "/nowhere/server";
    for (int i = 0; i <= DeviceManage::kMaxConnections; ++i) {
        params.serial = QStringLiteral("LIMIT%1").arg(i, 4, 10, QLatin1Char('0'));
        QVERIFY(manage.connectDevice(params));
    }
    QCOMPARE(m_setup.log->count("over the maximum number of connections"), 0);
    params.serial = "LIMITX";
    QVERIFY(!manage.connectDevice(params));
    QCOMPARE(m_setup.log->count("over the maximum number of connections"), 1);
    QVERIFY(!manage.getDevice("LIMITX"));

    QSignalSpy disconnected(&manage, &IDeviceManage::deviceDisconnected);
    manage.disconnectAllDevice();
    QCOMPARE(disconnected.count(), DeviceManage::kMaxConnections + 1);
    QVERIFY(!manage.getDevice("LIMIT0000"));
    QVERIFY(manage.connectDevice(params));
    QVERIFY(manage.disconnectDevice(params.serial));
}

void TestDeviceManage::failureReportRemovesEntry()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    DeviceManage manage;
    QSignalSpy connected(&manage, &IDeviceManage::deviceConnected);
    DeviceParams params = simParams(sim.serial());
    params.serverLocalPath = m_setup.dataDir.filePath("missing-server");
    // Only our server: without its file the start fails rather than turning to the phone's own tools.
    params.connection = dvk::defaults::kConnectionServer;

    QVERIFY(manage.connectDevice(params));
    QPointer<IDevice> device = manage.getDevice(sim.serial());
    QVERIFY(device);
    QVERIFY(connected.wait(15000));
    const QList<QVariant> report = connected.first();
    QCOMPARE(report.at(0).toBool(), false);
    QCOMPARE(report.at(1).toString(), sim.serial());
    QVERIFY(!manage.getDevice(sim.serial()));
    QTRY_VERIFY(!device);
    QVERIFY(!manage.disconnectDevice(sim.serial()));
}

void TestDeviceManage::disconnectDeviceReportsBeforeReturning()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    DeviceManage manage;
    QSignalSpy connected(&manage, &IDeviceManage::deviceConnected);
    QSignalSpy disconnected(&manage, &IDeviceManage::deviceDisconnected);
    QVERIFY(manage.connectDevice(simParams(sim.serial())));
    QVERIFY(connected.wait(15000));
    QVERIFY(connected.first().at(0).toBool());

    QVERIFY(!manage.disconnectDevice(""));
    QVERIFY(!manage.disconnectDevice("UNKNOWN"));
    QVERIFY(manage.disconnectDevice(sim.serial()));
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(disconnected.first().first().toString(), sim.serial());
    QVERIFY(!manage.getDevice(sim.serial()));
    QVERIFY(!manage.disconnectDevice(sim.serial()));
    // The stop notifications that arrive once the server has gone find nothing to report.
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    QTest::qWait(100);
    QCOMPARE(disconnected.count(), 1);
}

void TestDeviceManage::disconnectAllDeviceInSerialOrder()
{
    SimDevice sim(false);
    const QStringList serials{"SIMC", "SIMA", "SIMB"};
    for (const QString& serial : serials) {
        SimDevice::Options options;
        options.serial = serial;
        QVERIFY(sim.addDevice(options));
    }
    QVERIFY(sim.isValid());

    DeviceManage manage;
    QSignalSpy connected(&manage, &IDeviceManage::deviceConnected);
    QSignalSpy disconnected(&manage, &IDeviceManage::deviceDisconnected);
    for (const QString& serial : serials) {
        DeviceParams params = simParams(serial);
        params.maxFps = 10;
        QVERIFY(manage.connectDevice(params));
    }
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 3, 20000);
    for (const QList<QVariant>& report : connected) {
        QVERIFY2(report.at(0).toBool(), qPrintable(report.at(1).toString()));
    }

    manage.disconnectAllDevice();
    QCOMPARE(disconnected.count(), 3);
    QStringList order;
    for (const QList<QVariant>& report : disconnected) {
        order << report.first().toString();
    }
    QCOMPARE(order, (QStringList{"SIMA", "SIMB", "SIMC"}));
    for (const QString& serial : serials) {
        QVERIFY(!manage.getDevice(serial));
    }
    for (const QString& serial : serials) {
        QVERIFY(sim.waitForServerEvent("exit", 10000, serial));
    }
    QTest::qWait(100);
    QCOMPARE(disconnected.count(), 3);
}

QTEST_GUILESS_MAIN(TestDeviceManage)
#include "tst_devicemanage.moc"

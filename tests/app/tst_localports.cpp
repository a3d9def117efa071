#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "ConnectionParams.h"
#include "LaunchOptions.h"
#include "LocalPorts.h"
#include "SimDevice.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"

// Every connection's parameters get a local port of their own, with real devices of the
// simulator connecting at the same moment.
class TestLocalPorts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void devicesStartingTogetherNeverShareAPort();
    void aSerialAskedAgainKeepsItsPort();
    void aRefusedConnectionGivesItsPortBack();
};

namespace {

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

// A start of several free ports in a row, so that the test's own ports are not someone else's.
quint16 freeRun(int length)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const quint16 first = SimDevice::freePort();
        bool free = first + length < 65535;
        for (int i = 1; free && i < length; ++i) {
            free = LocalPorts::bindable(quint16(first + i));
        }
        if (free) {
            return first;
        }
    }
    return 0;
}

LaunchOptions onPort(quint16 port)
{
    LaunchOptions options;
    options.port = port;
    // No fallback to the phone's own tools: a server that does not start is a failed connection.
    options.connection = "server";
    return options;
}

} // namespace

void TestLocalPorts::initTestCase()
{
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
}

void TestLocalPorts::devicesStartingTogetherNeverShareAPort()
{
    SimDevice sim(false);
    // Slow to start, so that all of them are still connecting when the next one asks for a port.
    for (const char* serial : {"PORTA", "PORTB", "PORTC", "PORTD"}) {
        SimDevice::Options options;
        options.serial = serial;
        options.faults.insert("slowStartMs", 1500);
        QVERIFY(sim.addDevice(options));
    }
    const quint16 first = freeRun(5);
    QVERIFY(first);
    // Someone else's listener on the third port: it is skipped.
    QTcpServer stranger;
    QVERIFY(stranger.listen(QHostAddress::LocalHost, quint16(first + 2)));
    QSignalSpy connected(&registry(), &dvk::IDeviceManage::deviceConnected);

    const QString server = SimDevice::serverFilePath();
    const dvk::DeviceParams a = connectionParams("PORTA", server, onPort(first));
    QVERIFY(registry().connectDevice(a));
    const dvk::DeviceParams b = connectionParams("PORTB", server, onPort(first));
    QVERIFY(registry().connectDevice(b));
    // A recording asked for on the command line is the first device's: one file takes one stream.
    LaunchOptions recording = onPort(first);
    recording.recordFile = QDir::temp().filePath("never-written.mp4");
    recording.recordFormat = "mp4";
    const dvk::DeviceParams c = connectionParams("PORTC", server, recording);
    QVERIFY(!c.recordFile);
    QVERIFY(registry().connectDevice(c));
    QCOMPARE(a.localPort, first);
    QCOMPARE(b.localPort, quint16(first + 1));
    QCOMPARE(c.localPort, quint16(first + 3));

    // Every one of them comes up on its own port.
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 3, 20000);
    for (const QList<QVariant>& report : connected) {
        QVERIFY2(report.at(0).toBool(), qPrintable(report.at(1).toString()));
    }

    // The first one leaving gives its port to the next device.
    QVERIFY(registry().disconnectDevice("PORTA"));
    QCOMPARE(LocalPorts::instance().heldBy("PORTA"), quint16(0));
    const dvk::DeviceParams d = connectionParams("PORTD", server, onPort(first));
    QCOMPARE(d.localPort, first);
    QVERIFY(registry().connectDevice(d));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 4, 20000);
    QVERIFY(connected.last().at(0).toBool());
    registry().disconnectAllDevice();
    QCOMPARE(LocalPorts::instance().heldBy("PORTD"), quint16(0));
}

void TestLocalPorts::aSerialAskedAgainKeepsItsPort()
{
    SimDevice sim(false);
    SimDevice::Options options;
    options.serial = "AGAIN";
    options.faults.insert("slowStartMs", 1000);
    QVERIFY(sim.addDevice(options));
    const quint16 first = freeRun(3);
    QVERIFY(first);
    const dvk::DeviceParams once = connectionParams("AGAIN", SimDevice::serverFilePath(), onPort(first));
    QVERIFY(registry().connectDevice(once));
    // A poll asking again while it connects: the registry refuses the serial, and no port is spent on it.
    const dvk::DeviceParams twice = connectionParams("AGAIN", SimDevice::serverFilePath(), onPort(first));
    QCOMPARE(twice.localPort, once.localPort);
    QVERIFY(!registry().connectDevice(twice));
    QCOMPARE(connectionParams("OTHER", SimDevice::serverFilePath(), onPort(first)).localPort, quint16(first + 1));
    registry().disconnectAllDevice();
}

void TestLocalPorts::aRefusedConnectionGivesItsPortBack()
{
    SimDevice sim(false);
    SimDevice::Options options;
    options.serial = "NOSTART";
    options.faults.insert("exitAtOnce", true);
    QVERIFY(sim.addDevice(options));
    const quint16 first = freeRun(3);
    QVERIFY(first);
    QSignalSpy connected(&registry(), &dvk::IDeviceManage::deviceConnected);
    LaunchOptions recording = onPort(first);
    recording.recordFile = QDir::temp().filePath("never-written.mp4");
    recording.recordFormat = "mp4";
    const dvk::DeviceParams alone = connectionParams("NOSTART", SimDevice::serverFilePath(), recording);
    // Alone, the device records as asked.
    QVERIFY(alone.recordFile);
    QVERIFY(registry().connectDevice(alone));
    QCOMPARE(LocalPorts::instance().heldBy("NOSTART"), first);
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 20000);
    QVERIFY(!connected.first().at(0).toBool());
    QCOMPARE(LocalPorts::instance().heldBy("NOSTART"), quint16(0));
}

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.path()));
    QCoreApplication app(argc, argv);
    TestLocalPorts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_localports.moc"

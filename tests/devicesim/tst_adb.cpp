// The adb stand-in's commands, outputs and exit codes, as the application reads them.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "SimDevice.h"

namespace {

QString writeFile(QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
    }
    return path;
}

bool processAlive(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

class TestAdb : public QObject
{
    Q_OBJECT

private slots:
    void listsDevicesAndSelectsOne();
    void pushesIntoTheDeviceOnly();
    void installReportsSuccessAndFailure();
    void shellCommandsOfTheApplication();
    void switchesToWireless();
    void forwardAcceptsThenClosesWithoutListener();
    void logsEveryInvocation();
    void stopEndsEveryProcess();
};

void TestAdb::listsDevicesAndSelectsOne()
{
    SimDevice sim(false);
    QVERIFY(sim.isValid());
    SimDevice::AdbResult r = sim.runAdb({"shell", "echo", "hi"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("no devices/emulators found"));

    QVERIFY(sim.addDevice(SimDevice::Options()));
    SimDevice::Options offline;
    offline.serial = "OFF1";
    offline.state = "offline";
    QVERIFY(sim.addDevice(offline));
    SimDevice::Options locked;
    locked.serial = "LOCK1";
    locked.state = "unauthorized";
    QVERIFY(sim.addDevice(locked));

    r = sim.runAdb({"devices"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("List of devices attached\nSIM0001\tdevice\nOFF1\toffline\nLOCK1\tunauthorized\n\n"));

    r = sim.runAdb({"shell", "echo", "hi"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("more than one device/emulator"));
    r = sim.runAdb({"-s", "SIM0001", "shell", "echo", "hi"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("hi\n"));
    r = sim.runAdb({"-s", "OFF1", "shell", "echo", "hi"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("device offline"));
    r = sim.runAdb({"-s", "LOCK1", "push", SimDevice::serverFilePath(), "/data/local/tmp/x"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("unauthorized"));
    r = sim.runAdb({"-s", "NOPE", "shell", "echo"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("device 'NOPE' not found"));

    // A device that goes offline later is listed so.
    QVERIFY(sim.setProperty("SIM0001", "state", "offline"));
    QVERIFY(sim.runAdb({"devices"}).out.contains("SIM0001\toffline"));
}

void TestAdb::pushesIntoTheDeviceOnly()
{
    SimDevice sim;
    QTemporaryDir local;
    const QString file = writeFile(local, "data.bin", QByteArray(1000, 'x'));

    SimDevice::AdbResult r = sim.runAdb({"push", local.filePath("missing.bin"), "/sdcard/"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("cannot stat"));

    r = sim.runAdb({"push", file, "/sdcard/"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("1 file pushed"));
    QCOMPARE(QFileInfo(sim.devicePath("/sdcard/data.bin")).size(), qint64(1000));
    QCOMPARE(sim.runAdb({"shell", "ls", "/sdcard"}).out, QString("data.bin\n"));

    r = sim.runAdb({"push", file, "/system/data.bin"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("Read-only file system"));

    // A path that climbs out of the device's file system is refused, and nothing
    // lands beside the simulator's state.
    r = sim.runAdb({"push", file, "/data/local/tmp/../../../../escaped.bin"});
    QCOMPARE(r.exitCode, 1);
    QDirIterator it(sim.home(), {"escaped.bin"}, QDir::Files, QDirIterator::Subdirectories);
    QVERIFY(!it.hasNext());
    // Nor can a serial name a place outside the device folders.
    SimDevice::Options dots;
    dots.serial = "..";
    QVERIFY(!sim.addDevice(dots));
    QVERIFY(!QFile::exists(sim.home() + "/device.json"));

    r = sim.runAdb({"shell", "rm", "/sdcard/data.bin"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(!QFile::exists(sim.devicePath("/sdcard/data.bin")));
    r = sim.runAdb({"shell", "rm", "/sdcard/data.bin"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("No such file or directory"));
}

void TestAdb::installReportsSuccessAndFailure()
{
    SimDevice sim;
    QTemporaryDir local;
    const QString apk = writeFile(local, "game.apk", QByteArray("PK\x03\x04", 4) + "....AndroidManifest.xml....");
    const QString notApk = writeFile(local, "fake.apk", "just text");

    SimDevice::AdbResult r = sim.runAdb({"install", "-r", apk});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("Success"));
    QVERIFY(sim.deviceState().value("packages").toArray().contains(QString("game")));

    r = sim.runAdb({"install", apk});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("Failure [INSTALL_FAILED_ALREADY_EXISTS"));
    QCOMPARE(sim.runAdb({"install", "-r", apk}).exitCode, 0);

    r = sim.runAdb({"install", "-r", notApk});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(!r.out.contains("Success"));
    QVERIFY(r.err.contains("Failure ["));

    QCOMPARE(sim.runAdb({"install", "-r", local.filePath("gone.apk")}).exitCode, 1);

    QVERIFY(sim.setFault("SIM0001", "installFailure", "INSTALL_FAILED_INSUFFICIENT_STORAGE"));
    r = sim.runAdb({"install", "-r", apk});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]"));
}

void TestAdb::shellCommandsOfTheApplication()
{
    SimDevice sim;
    QCOMPARE(sim.runAdb({"shell", "settings", "put", "system", "show_touches", "1"}).exitCode, 0);
    QCOMPARE(sim.deviceState().value("settings").toObject().value("system").toObject().value("show_touches").toString(),
             QString("1"));
    QCOMPARE(sim.runAdb({"shell", "settings", "get", "system", "show_touches"}).out, QString("1\n"));

    SimDevice::AdbResult r = sim.runAdb({"shell", "ifconfig", "wlan0"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("inet addr:192.168.1.5  Bcast:192.168.1.255"));
    // The one-line form that the wireless-address parser looks for.
    QVERIFY(sim.runAdb({"shell", "ip", "-o", "-f", "inet", "addr", "show", "wlan0"})
                .out.startsWith("30: wlan0    inet 192.168.1.5/24 "));
    QVERIFY(sim.setProperty("SIM0001", "ip", ""));
    QCOMPARE(sim.runAdb({"shell", "ifconfig", "wlan0"}).exitCode, 1);

    r = sim.runAdb({"shell", "wm", "size"});
    QCOMPARE(r.out, QString("Physical size: 1080x2340\n"));
    QCOMPARE(sim.runAdb({"shell", "wm", "size", "720x1560"}).exitCode, 0);
    r = sim.runAdb({"shell", "wm", "size"});
    // The main window reads the text after the last blank.
    QCOMPARE(r.out.trimmed().section(' ', -1), QString("720x1560"));
    QVERIFY(r.out.contains("Override size: 720x1560"));

    r = sim.runAdb({"shell", "am", "start", "com.android.settings/com.android.settings.Settings"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("Starting: Intent"));
    // The device's shell removes the quotes of the uninstall broadcast's value.
    r = sim.runAdb({"shell", "am", "broadcast", "-a", "com.zel.launcher.action.uninstall", "--es", "command",
                    QString::fromUtf8("\"卸载应用\"")});
    QCOMPARE(r.exitCode, 0);
    const QList<QJsonObject> events = sim.eventLog();
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.last().value("args").toArray().last().toString(), QString::fromUtf8("卸载应用"));

    r = sim.runAdb({"logcat", "-d"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("beginning of main"));

    r = sim.runAdb({"shell", "frobnicate"});
    QCOMPARE(r.exitCode, 127);
    QVERIFY(r.err.contains("inaccessible or not found"));
}

void TestAdb::switchesToWireless()
{
    SimDevice sim;
    SimDevice::AdbResult r = sim.runAdb({"connect", "192.168.1.5:5555"});
    QCOMPARE(r.exitCode, 1); // adbd does not listen on TCP yet
    QCOMPARE(sim.runAdb({"connect", ":5555"}).exitCode, 1);

    r = sim.runAdb({"tcpip", "5555"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("restarting in TCP mode port: 5555"));
    r = sim.runAdb({"connect", "192.168.1.5:5555"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("connected to 192.168.1.5:5555\n"));
    QVERIFY(sim.runAdb({"devices"}).out.contains("SIM0001\tdevice\n192.168.1.5:5555\tdevice\n"));

    // The wireless serial reaches the same device.
    QCOMPARE(sim.runAdb({"-s", "192.168.1.5:5555", "push", SimDevice::serverFilePath(), "/sdcard/f"}).exitCode, 0);
    QVERIFY(QFile::exists(sim.devicePath("/sdcard/f")));

    r = sim.runAdb({"disconnect", "SIM0001"});
    QCOMPARE(r.exitCode, 1);
    r = sim.runAdb({"disconnect", "192.168.1.5:5555"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(sim.runAdb({"devices"}).out, QString("List of devices attached\nSIM0001\tdevice\n\n"));
}

void TestAdb::forwardAcceptsThenClosesWithoutListener()
{
    SimDevice sim;
    const quint16 port = SimDevice::freePort();
    QCOMPARE(sim.runAdb({"forward", QString("tcp:%1").arg(port), "localabstract:dravik"}).exitCode, 0);
    QVERIFY(sim.runAdb({"forward", "--list"}).out.contains(QString("SIM0001 tcp:%1 localabstract:dravik").arg(port)));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(socket.waitForConnected(2000));
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 3000);

    // A port someone else holds cannot be forwarded.
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    SimDevice::AdbResult r =
        sim.runAdb({"forward", QString("tcp:%1").arg(holder.serverPort()), "localabstract:dravik"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("cannot bind"));

    r = sim.runAdb({"forward", "tcp:0", "localabstract:other"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.trimmed().toInt() > 0);

    QCOMPARE(sim.runAdb({"forward", "--remove", QString("tcp:%1").arg(port)}).exitCode, 0);
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!late.waitForConnected(1000));
    r = sim.runAdb({"forward", "--remove", QString("tcp:%1").arg(port)});
    QCOMPARE(r.exitCode, 1);
}

void TestAdb::logsEveryInvocation()
{
    SimDevice sim;
    sim.runAdb({"devices"});
    sim.runAdb({"-s", "NOPE", "shell", "wm", "size"});
    sim.runAdb({"sim", "show"});
    const QList<QJsonObject> log = sim.invocations();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(0).value("argv").toArray(), QJsonArray({"devices"}));
    QCOMPARE(log.at(0).value("exit").toInt(), 0);
    QCOMPARE(log.at(1).value("argv").toArray(), QJsonArray({"-s", "NOPE", "shell", "wm", "size"}));
    QCOMPARE(log.at(1).value("exit").toInt(), 1);
}

void TestAdb::stopEndsEveryProcess()
{
    qint64 daemon = 0;
    {
        SimDevice sim;
        QCOMPARE(sim.runAdb({"start-server"}).exitCode, 0);
        QJsonObject info;
        QFile file(sim.home() + "/daemon.json");
        QVERIFY(file.open(QIODevice::ReadOnly));
        daemon = static_cast<qint64>(QJsonDocument::fromJson(file.readAll()).object().value("pid").toDouble());
        QVERIFY(daemon > 0);
        QVERIFY(processAlive(daemon));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!processAlive(daemon), 3000);
}

QTEST_GUILESS_MAIN(TestAdb)
#include "tst_adb.moc"

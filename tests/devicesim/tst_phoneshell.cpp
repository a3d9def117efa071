// The phone's own tools through adb, as a connection without the server uses
// them: "input", "cmd statusbar", a shell fed line by line, exec-out, and a
// phone on which app_process finds no server.
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QtTest>

#include <csignal>

#include "GroupProcess.h"
#include "SimDevice.h"

namespace {

QList<QJsonObject> eventsNamed(const SimDevice& device, const QString& name)
{
    QList<QJsonObject> found;
    for (const QJsonObject& event : device.eventLog()) {
        if (event.value("event").toString() == name) {
            found.append(event);
        }
    }
    return found;
}

// Reads standard output until it holds text.
bool waitForOutput(QProcess& process, QByteArray& seen, const QByteArray& text)
{
    QElapsedTimer timer;
    timer.start();
    while (!seen.contains(text)) {
        if (timer.elapsed() > 10000 || process.state() == QProcess::NotRunning) {
            return false;
        }
        process.waitForReadyRead(200);
        seen += process.readAllStandardOutput();
    }
    return true;
}

} // namespace

class TestPhoneShell : public QObject
{
    Q_OBJECT

private slots:
    void inputUsageNamesMotionEventWhenTheDeviceHasIt();
    void inputRefusesBadArguments_data();
    void inputRefusesBadArguments();
    void inputLogsEventsInDisplayPixels();
    void statusbarCommands();
    void interactiveShellRunsLinesAsTheyArrive();
    void interactiveShellEndsWhenUnplugged();
    void interactiveShellStopsOnSignal();
    void execOutIsBinaryClean();
    void phoneWithoutTheServer();
};

void TestPhoneShell::inputUsageNamesMotionEventWhenTheDeviceHasIt()
{
    SimDevice device;
    SimDevice::AdbResult r = device.runAdb({"shell", "input"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.startsWith("Usage: input [<source>] [-d DISPLAY_ID] <command> [<arg>...]\n"));
    QVERIFY(r.out.contains("The commands and default sources are:"));
    QVERIFY(r.out.contains("      tap <x> <y>"));
    QVERIFY(r.out.contains("      keyevent [--longpress|--doubletap] <key code number or name> ..."));
    QVERIFY(r.out.contains("      motionevent <DOWN|UP|MOVE|CANCEL> <x> <y>"));
    QCOMPARE(device.runAdb({"shell", "input", "motionevent", "DOWN", "1", "2"}).exitCode, 0);

    QVERIFY(device.setProperty(device.serial(), "inputMotionevent", false));
    r = device.runAdb({"shell", "input"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.contains("      roll <dx> <dy>"));
    QVERIFY(!r.out.contains("motionevent"));
    r = device.runAdb({"shell", "input", "motionevent", "DOWN", "1", "2"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("Error: Unknown command: motionevent"));
    QCOMPARE(eventsNamed(device, "input").size(), 1);
}

void TestPhoneShell::inputRefusesBadArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    const QString invalid = "Error: Invalid arguments for command: ";
    QTest::newRow("tap, one number") << QStringList{"tap", "1"} << invalid + "tap";
    QTest::newRow("tap, three numbers") << QStringList{"tap", "1", "2", "3"} << invalid + "tap";
    QTest::newRow("tap, not a number") << QStringList{"tap", "1", "y"} << "For input string: \"y\"";
    QTest::newRow("swipe, three numbers") << QStringList{"swipe", "1", "2", "3"} << invalid + "swipe";
    QTest::newRow("swipe, bad duration") << QStringList{"swipe", "1", "2", "3", "4", "long"} << "\"long\"";
    QTest::newRow("keyevent, no code") << QStringList{"keyevent"} << invalid + "keyevent";
    QTest::newRow("keyevent, only a flag") << QStringList{"keyevent", "--longpress"} << invalid + "keyevent";
    QTest::newRow("text, none") << QStringList{"text"} << invalid + "text";
    QTest::newRow("text, two words") << QStringList{"text", "a", "b"} << invalid + "text";
    QTest::newRow("roll, one") << QStringList{"roll", "1"} << invalid + "roll";
    QTest::newRow("motionevent, bad action") << QStringList{"motionevent", "HOLD", "1", "2"}
                                             << invalid + "motionevent";
    QTest::newRow("unknown command") << QStringList{"pinch", "1"} << "Error: Unknown command: pinch";
}

void TestPhoneShell::inputRefusesBadArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    SimDevice device;
    const SimDevice::AdbResult r = device.runAdb(QStringList{"shell", "input"} + args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
    QVERIFY(eventsNamed(device, "input").isEmpty());
    QVERIFY(!device.deviceState().contains("lastTouch"));
}

void TestPhoneShell::inputLogsEventsInDisplayPixels()
{
    SimDevice device;
    const QList<QStringList> commands{
        {"tap", "540", "1200"},
        {"swipe", "100", "200", "300.5", "400", "250"},
        {"touchscreen", "keyevent", "--longpress", "3", "KEYCODE_HOME"},
        {"text", "'it'\\''s%s$HOME;%sa&b'"},
        {"roll", "0", "-3"},
        {"motionevent", "down", "10", "20"},
        {"motionevent", "MOVE", "15", "25"},
    };
    for (const QStringList& command : commands) {
        const SimDevice::AdbResult r = device.runAdb(QStringList{"shell", "input"} + command);
        QVERIFY2(r.exitCode == 0, qPrintable(command.join(' ') + ": " + r.err));
    }
    const QList<QJsonObject> events = eventsNamed(device, "input");
    QCOMPARE(events.size(), commands.size());

    QCOMPARE(events.at(0).value("command").toString(), QString("tap"));
    QCOMPARE(events.at(0).value("args").toArray(), (QJsonArray{"tap", "540", "1200"}));
    QCOMPARE(events.at(0).value("x").toDouble(), 540.0);
    QCOMPARE(events.at(0).value("y").toDouble(), 1200.0);

    const QJsonObject swipe = events.at(1);
    QCOMPARE(swipe.value("command").toString(), QString("swipe"));
    QCOMPARE(swipe.value("x").toDouble(), 100.0);
    QCOMPARE(swipe.value("y").toDouble(), 200.0);
    QCOMPARE(swipe.value("x2").toDouble(), 300.5);
    QCOMPARE(swipe.value("y2").toDouble(), 400.0);
    QCOMPARE(swipe.value("ms").toDouble(), 250.0);

    const QJsonObject key = events.at(2);
    QCOMPARE(key.value("command").toString(), QString("keyevent"));
    QCOMPARE(key.value("longpress").toBool(), true);
    QCOMPARE(key.value("codes").toArray(), (QJsonArray{"3", "KEYCODE_HOME"}));

    // The device's shell removed the quotes; input turned %s into spaces.
    QCOMPARE(events.at(3).value("text").toString(), QString("it's $HOME; a&b"));
    QCOMPARE(events.at(4).value("dy").toDouble(), -3.0);
    QCOMPARE(events.at(5).value("action").toString(), QString("DOWN"));

    const QJsonObject state = device.deviceState();
    QCOMPARE(state.value("typedText").toString(), QString("it's $HOME; a&b"));
    // The last touch: the move, still down.
    QCOMPARE(state.value("lastTouch").toObject(), (QJsonObject{{"x", 15}, {"y", 25}, {"down", true}}));
    QCOMPARE(device.runAdb({"shell", "input", "swipe", "1", "2", "3", "4"}).exitCode, 0);
    QCOMPARE(device.deviceState().value("lastTouch").toObject(), (QJsonObject{{"x", 3}, {"y", 4}, {"down", false}}));
}

void TestPhoneShell::statusbarCommands()
{
    SimDevice device;
    for (const QString& verb : QStringList{"expand-notifications", "expand-settings", "collapse"}) {
        QCOMPARE(device.runAdb({"shell", "cmd", "statusbar", verb}).exitCode, 0);
    }
    const QList<QJsonObject> events = eventsNamed(device, "cmd");
    QCOMPARE(events.size(), 3);
    QCOMPARE(events.at(0).value("args").toArray(), (QJsonArray{"statusbar", "expand-notifications"}));
    QCOMPARE(events.at(2).value("args").toArray(), (QJsonArray{"statusbar", "collapse"}));

    SimDevice::AdbResult r = device.runAdb({"shell", "cmd", "statusbar", "explode"});
    QVERIFY(r.exitCode != 0);
    QVERIFY(!r.err.isEmpty());
    r = device.runAdb({"shell", "cmd", "window", "size"});
    QVERIFY(r.exitCode != 0);
    QVERIFY(r.err.contains("Can't find service: window"));
    QCOMPARE(eventsNamed(device, "cmd").size(), 3);
}

// Each line runs the moment it is written, against the state of that moment;
// the end of input ends the shell.
void TestPhoneShell::interactiveShellRunsLinesAsTheyArrive()
{
    SimDevice device;
    GroupProcess shell;
    shell.setProcessEnvironment(device.environment());
    shell.start(SimDevice::adbPath(), {"-s", device.serial(), "shell", "-T"});
    QVERIFY(shell.waitForStarted());
    QByteArray out;
    shell.write("echo one\n");
    QVERIFY(waitForOutput(shell, out, "one\n"));

    shell.write("input tap 10 20\n\n");
    QTRY_COMPARE_WITH_TIMEOUT(eventsNamed(device, "input").size(), 1, 10000);
    QVERIFY(device.setProperty(device.serial(), "wmSize", "720x1560"));
    shell.write("wm size\ninput text 'it'\\''s%sok'\n");
    QVERIFY(waitForOutput(shell, out, "Override size: 720x1560\n"));
    shell.write("getprop ro.product.model\n");
    QVERIFY(waitForOutput(shell, out, "SimPhone\n"));
    shell.write("input tap 1\necho last");
    shell.closeWriteChannel();
    QVERIFY(shell.waitForFinished(10000));
    out += shell.readAllStandardOutput();
    QCOMPARE(shell.exitCode(), 0);
    QCOMPARE(out, QByteArray("one\nPhysical size: 1080x2340\nOverride size: 720x1560\nSimPhone\nlast\n"));
    QVERIFY(shell.readAllStandardError().contains("Error: Invalid arguments for command: tap"));
    QCOMPARE(device.deviceState().value("typedText").toString(), QString("it's ok"));
    QCOMPARE(eventsNamed(device, "input").size(), 2);

    int logged = 0;
    for (const QJsonObject& invocation : device.invocations()) {
        logged += invocation.value("argv").toArray().contains("shell") ? 1 : 0;
    }
    QCOMPARE(logged, 1);
}

void TestPhoneShell::interactiveShellEndsWhenUnplugged()
{
    SimDevice device;
    GroupProcess shell;
    shell.setProcessEnvironment(device.environment());
    shell.start(SimDevice::adbPath(), {"shell"});
    QVERIFY(shell.waitForStarted());
    QByteArray out;
    shell.write("echo here\n");
    QVERIFY(waitForOutput(shell, out, "here\n"));
    QVERIFY(device.setProperty(device.serial(), "state", "offline"));
    shell.write("input tap 1 2\n");
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(shell.exitCode(), 1);
    QVERIFY(shell.readAllStandardError().contains("error: device offline"));
    QVERIFY(eventsNamed(device, "input").isEmpty());
}

// Also after a line that ran a program of its own (which hands stop signals on
// while it runs).
void TestPhoneShell::interactiveShellStopsOnSignal()
{
    SimDevice::Options options;
    options.faults.insert("recordFrames", 2);
    SimDevice device(options);
    GroupProcess shell;
    shell.setProcessEnvironment(device.environment());
    shell.start(SimDevice::adbPath(), {"shell"});
    QVERIFY(shell.waitForStarted());
    QByteArray out;
    shell.write("screenrecord --size 64x64 /sdcard/clip.h264\necho recorded\n");
    QVERIFY(waitForOutput(shell, out, "recorded\n"));
    QVERIFY(QFileInfo(device.devicePath("/sdcard/clip.h264")).size() > 0);
    shell.terminate();
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(shell.exitStatus(), QProcess::NormalExit);
    QCOMPARE(shell.exitCode(), 128 + SIGTERM);
    const QJsonObject logged = device.invocations().last();
    QCOMPARE(logged.value("argv").toArray(), (QJsonArray{"shell"}));
    QCOMPARE(logged.value("exit").toInt(), 128 + SIGTERM);
}

void TestPhoneShell::execOutIsBinaryClean()
{
    SimDevice device;
    QByteArray bytes;
    for (int i = 0; i < 512; ++i) {
        bytes.append(static_cast<char>(i % 256));
    }
    bytes.append("\r\n\n\r");
    QTemporaryDir dir;
    QFile file(dir.filePath("blob.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QCOMPARE(device.runAdb({"push", file.fileName(), "/sdcard/blob.bin"}).exitCode, 0);

    QProcess adb;
    adb.setProcessEnvironment(device.environment());
    adb.start(SimDevice::adbPath(), {"exec-out", "cat", "/sdcard/blob.bin"});
    QVERIFY(adb.waitForFinished(10000));
    QCOMPARE(adb.exitCode(), 0);
    QCOMPARE(adb.readAllStandardOutput(), bytes);
    // The same programs as shell.
    QCOMPARE(device.runAdb({"exec-out", "getprop", "ro.product.model"}).out, QString("SimPhone\n"));
}

// app_process finds no server class on such a phone, whatever was pushed.
void TestPhoneShell::phoneWithoutTheServer()
{
    SimDevice::Options options;
    options.model = "Merivo K310";
    options.properties.insert("serverless", true);
    SimDevice device(options);
    const QString path = "/data/local/tmp/dravik-server.jar";
    QCOMPARE(device.runAdb({"push", SimDevice::serverFilePath(), path}).exitCode, 0);
    QVERIFY(QFile::exists(device.devicePath(path)));
    const SimDevice::AdbResult r =
        device.runAdb({"shell", "CLASSPATH=" + path, "app_process", "/", "com.kelvanorth.dravik.Server",
                       SimDevice::serverVersion(), "tunnel_forward=true"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("java.lang.ClassNotFoundException"), qPrintable(r.err));
    QVERIFY(device.serverLog().isEmpty());
    QCOMPARE(device.runAdb({"shell", "getprop", "ro.product.model"}).out, QString("Merivo K310\n"));
}

QTEST_GUILESS_MAIN(TestPhoneShell)
#include "tst_phoneshell.moc"

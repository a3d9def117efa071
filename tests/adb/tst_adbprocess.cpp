#include <QCoreApplication>
#include <algorithm>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "adb/AdbOutput.h"
#include "adb/AdbProcess.h"
#include "adb/AdbProcessImpl.h"

using dvk::AdbProcess;
using dvk::AdbProcessImpl;
using Results = QList<AdbProcess::ADB_EXEC_RESULT>;

class TestAdbProcess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void commandArguments_data();
    void commandArguments();
    void exitCodesAndOutput_data();
    void exitCodesAndOutput();
    void outputInPiecesKeepsLinesAndCharacters();
    void largeOutputIsDecodedOnce();
    void newCommandClearsPreviousOutput();
    void missingProgram_data();
    void missingProgram();
    void killedProcess();
    void destroyWhileRunning();
    void blockingWaits();
    void hungQueryIsEndedAndRunnerGoesOn();
    void hungQueryEndsBlockingWait();
    void transfersAndServerShellAreNotTimedOut_data();
    void transfersAndServerShellAreNotTimedOut();
    void missingProgramIsLoggedOncePerPath();
    void parseDevices_data();
    void parseDevices();
    void parseIp();
    void pathResolution();

private:
    QString writeScript(const QString& name, const QString& body);
    static Results collect(AdbProcess& adb, const QString& serial, const QStringList& args);
    static Results results(const QSignalSpy& spy);

    QTemporaryDir m_dir;
    QString m_okAdb;
};

QString TestAdbProcess::writeScript(const QString& name, const QString& body)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return QString();
    }
    f.write("#!/bin/sh\n");
    f.write(body.toUtf8());
    f.write("\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

Results TestAdbProcess::results(const QSignalSpy& spy)
{
    Results out;
    for (const QList<QVariant>& args : spy) {
        out << args.at(0).value<AdbProcess::ADB_EXEC_RESULT>();
    }
    return out;
}

// Runs one command and returns every result it reported until it was over.
Results TestAdbProcess::collect(AdbProcess& adb, const QString& serial, const QStringList& args)
{
    QSignalSpy spy(&adb, &AdbProcess::adbProcessResult);
    adb.execute(serial, args);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        const Results r = results(spy);
        if (!r.isEmpty() && (r.last() == AdbProcess::ADB_EXIT_OK || r.last() == AdbProcess::ADB_EXIT_ERROR ||
                             r.last() == AdbProcess::ADB_NOT_FOUND)) {
            break;
        }
        spy.wait(50);
    }
    QCoreApplication::processEvents();
    return results(spy);
}

void TestAdbProcess::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_okAdb = writeScript("ok-adb", "exit 0");
    QVERIFY(!m_okAdb.isEmpty());
    AdbProcess::setAdbPath(m_okAdb);
}

void TestAdbProcess::cleanup()
{
    AdbProcess::setAdbPath(m_okAdb);
    AdbProcessImpl::setAnswerTimeoutMs(0);
}

namespace {

// Every warning logged while a LogCapture lives, for counting how often something was said.
QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void captureWarning(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg) {
        g_warnings << text;
    }
    g_previousHandler(type, context, text);
}

struct LogCapture {
    LogCapture()
    {
        g_warnings.clear();
        g_previousHandler = qInstallMessageHandler(captureWarning);
    }
    ~LogCapture() { qInstallMessageHandler(g_previousHandler); }
    static int count(const QString& part)
    {
        return static_cast<int>(std::count_if(g_warnings.begin(), g_warnings.end(),
                                               [&part](const QString& line) { return line.contains(part); }));
    }
};

} // namespace

void TestAdbProcess::commandArguments_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("execute, no serial") << "execute" << "" << QStringList{"devices"};
    QTest::newRow("execute, serial") << "execute" << "ABC" << QStringList{"-s", "ABC", "devices"};
    QTest::newRow("forward") << "forward" << "S1" << QStringList{"-s", "S1", "forward", "tcp:27183", "localabstract:dravik"};
    QTest::newRow("forwardRemove") << "forwardRemove" << "S1" << QStringList{"-s", "S1", "forward", "--remove", "tcp:27183"};
    QTest::newRow("reverse") << "reverse" << "S1" << QStringList{"-s", "S1", "reverse", "localabstract:dravik", "tcp:27183"};
    QTest::newRow("reverseRemove") << "reverseRemove" << "S1"
                                   << QStringList{"-s", "S1", "reverse", "--remove", "localabstract:dravik"};
    QTest::newRow("push") << "push" << "" << QStringList{"push", "/tmp/a b.jar", "/data/local/tmp/x.jar"};
    QTest::newRow("install") << "install" << "S1" << QStringList{"-s", "S1", "install", "-r", "/tmp/app.apk"};
    QTest::newRow("removePath") << "removePath" << "S1" << QStringList{"-s", "S1", "shell", "rm", "/sdcard/x"};
    QTest::newRow("show touches on") << "touchesOn" << "10.0.0.7:5555"
                                     << QStringList{"-s", "10.0.0.7:5555", "shell", "settings", "put", "system",
                                                    "show_touches", "1"};
    QTest::newRow("show touches off") << "touchesOff" << "S1"
                                      << QStringList{"-s", "S1", "shell", "settings", "put", "system", "show_touches", "0"};
}

void TestAdbProcess::commandArguments()
{
    QFETCH(QString, command);
    QFETCH(QString, serial);
    QFETCH(QStringList, expected);

    AdbProcess adb;
    QSignalSpy spy(&adb, &AdbProcess::adbProcessResult);
    if (command == "execute") {
        adb.execute(serial, {"devices"});
    } else if (command == "forward") {
        adb.forward(serial, 27183, "dravik");
    } else if (command == "forwardRemove") {
        adb.forwardRemove(serial, 27183);
    } else if (command == "reverse") {
        adb.reverse(serial, "dravik", 27183);
    } else if (command == "reverseRemove") {
        adb.reverseRemove(serial, "dravik");
    } else if (command == "push") {
        adb.push(serial, "/tmp/a b.jar", "/data/local/tmp/x.jar");
    } else if (command == "install") {
        adb.install(serial, "/tmp/app.apk");
    } else if (command == "removePath") {
        adb.removePath(serial, "/sdcard/x");
    } else {
        adb.setShowTouchesEnabled(serial, command == "touchesOn");
    }
    QCOMPARE(adb.arguments(), expected);
    QTRY_COMPARE(results(spy), (Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_EXIT_OK}));
}

void TestAdbProcess::exitCodesAndOutput_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<Results>("expected");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("exit 0") << "printf '  hello\\n\\n'; exit 0" << Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_EXIT_OK}
                            << "hello" << "";
    QTest::newRow("exit 1 with error text")
        << "echo 'error: device offline' >&2; exit 1" << Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_EXIT_ERROR} << ""
        << "error: device offline";
    QTest::newRow("exit 255") << "echo partial; exit 255" << Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_EXIT_ERROR}
                              << "partial" << "";
}

void TestAdbProcess::exitCodesAndOutput()
{
    QFETCH(QString, body);
    QFETCH(Results, expected);
    QFETCH(QString, out);
    QFETCH(QString, err);

    AdbProcess::setAdbPath(writeScript(QTest::currentDataTag(), body));
    AdbProcess adb;
    QCOMPARE(collect(adb, "", {"devices"}), expected);
    QCOMPARE(adb.getStdOut(), out);
    QCOMPARE(adb.getErrorOut(), err);
    QVERIFY(!adb.isRuning());
}

// Reads split a stream at arbitrary places; what the caller gets back must not depend on where.
void TestAdbProcess::outputInPiecesKeepsLinesAndCharacters()
{
    AdbProcess::setAdbPath(writeScript("pieces", "printf 'List of devices attached\\n'; sleep 0.2;"
                                                 "printf 'ABC\\tdevice\\n'; sleep 0.2;"
                                                 "printf 'DEF\\tdevice\\n  '; sleep 0.2;"
                                                 "printf 'caf\\303'; sleep 0.2; printf '\\251\\n'"));
    AdbProcess adb;
    QCOMPARE(collect(adb, "", {"devices"}), (Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_EXIT_OK}));
    QCOMPARE(adb.getDevicesSerialFromStdOut(), (QStringList{"ABC", "DEF"}));
    QCOMPARE(adb.getStdOut(), QString::fromUtf8("List of devices attached\nABC\tdevice\nDEF\tdevice\n  caf\xc3\xa9"));
}

// A logcat dump arrives in thousands of pieces: decoding everything again on each one made
// collecting it quadratic. The count of decode passes shows the cost without timing anything.
void TestAdbProcess::largeOutputIsDecodedOnce()
{
    dvk::AdbOutput output;
    const QByteArray line = QByteArray("01-01 00:00:00.000  1000  1000 I caf\xc3\xa9: ").leftJustified(127, 'x') + "\n";
    QByteArray all;
    while (all.size() < 16 * 1024 * 1024) {
        all += line;
    }
    // Odd-sized pieces cut lines and the two-byte character apart.
    for (int at = 0; at < all.size(); at += 4093) {
        output.append(all.mid(at, 4093));
    }
    QCOMPARE(output.decodeCount(), 0);
    QCOMPARE(output.text(), QString::fromUtf8(all).trimmed());
    QCOMPARE(output.text().size(), QString::fromUtf8(all).size() - 1);
    QCOMPARE(output.decodeCount(), 1);

    output.append("  \nmore\n");
    QVERIFY(output.text().endsWith("x\n  \nmore"));
    QCOMPARE(output.decodeCount(), 2);
    output.clear();
    QCOMPARE(output.text(), QString());
    QCOMPARE(output.decodeCount(), 2);
}

void TestAdbProcess::newCommandClearsPreviousOutput()
{
    AdbProcess::setAdbPath(writeScript("echoargs", "echo \"$@\"; echo \"err $1\" >&2"));
    AdbProcess adb;
    collect(adb, "", {"first"});
    QCOMPARE(adb.getStdOut(), QString("first"));
    collect(adb, "S", {"second"});
    QCOMPARE(adb.getStdOut(), QString("-s S second"));
    QCOMPARE(adb.getErrorOut(), QString("err -s"));
}

void TestAdbProcess::missingProgram_data()
{
    QTest::addColumn<bool>("existsButNotExecutable");
    QTest::newRow("no such file") << false;
    QTest::newRow("not executable") << true;
}

void TestAdbProcess::missingProgram()
{
    QFETCH(bool, existsButNotExecutable);
    QString path = m_dir.filePath("no-such-adb");
    if (existsButNotExecutable) {
        path = writeScript("plain-file", "exit 0");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    AdbProcess::setAdbPath(path);
    AdbProcess adb;
    QCOMPARE(collect(adb, "", {"devices"}), Results{AdbProcess::ADB_NOT_FOUND});
    QVERIFY(!adb.isRuning());
}

void TestAdbProcess::killedProcess()
{
    AdbProcess::setAdbPath(writeScript("sleeper", "exec sleep 30"));
    AdbProcess adb;
    QSignalSpy spy(&adb, &AdbProcess::adbProcessResult);
    adb.execute("", {"shell"});
    QTRY_COMPARE(results(spy), Results{AdbProcess::ADB_STARTED});
    QVERIFY(adb.isRuning());
    // A second command while one runs is refused and leaves the first one alone.
    adb.execute("", {"devices"});
    QCOMPARE(adb.arguments(), QStringList{"shell"});
    QVERIFY(adb.isRuning());
    adb.kill();
    QTRY_COMPARE(results(spy),
                 (Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_RUN_ERROR, AdbProcess::ADB_EXIT_ERROR}));
    QVERIFY(!adb.isRuning());
}

void TestAdbProcess::destroyWhileRunning()
{
    AdbProcess::setAdbPath(writeScript("sleeper2", "exec sleep 30"));
    QElapsedTimer timer;
    timer.start();
    auto* adb = new AdbProcess();
    QSignalSpy spy(adb, &AdbProcess::adbProcessResult);
    adb->execute("", {"shell"});
    QVERIFY(adb->waitForStarted());
    delete adb;
    QCOMPARE(results(spy), Results{AdbProcess::ADB_STARTED});
    QVERIFY(timer.elapsed() < 10000);
}

void TestAdbProcess::blockingWaits()
{
    AdbProcess::setAdbPath(writeScript("quick", "echo done"));
    AdbProcess adb;
    adb.execute("", {"logcat", "-d"});
    QVERIFY(adb.waitForStarted());
    QVERIFY(adb.waitForFinished());
    QCOMPARE(adb.getStdOut(), QString("done"));
}

// A poll that waits for its runner to be free must get it back from an adb that never answers.
void TestAdbProcess::hungQueryIsEndedAndRunnerGoesOn()
{
    AdbProcessImpl::setAnswerTimeoutMs(300);
    AdbProcess::setAdbPath(writeScript("hung", "exec sleep 30"));
    AdbProcess adb;
    LogCapture log;
    QCOMPARE(collect(adb, "", {"devices"}),
             (Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_RUN_ERROR, AdbProcess::ADB_EXIT_ERROR}));
    QVERIFY(!adb.isRuning());
    QCOMPARE(LogCapture::count("adb did not answer within 300 ms, ending it: devices"), 1);

    AdbProcess::setAdbPath(writeScript("answers", "printf 'List of devices attached\\nA1\\tdevice\\n'"));
    QCOMPARE(collect(adb, "", {"devices"}), (Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_EXIT_OK}));
    QCOMPARE(adb.getDevicesSerialFromStdOut(), QStringList{"A1"});
}

void TestAdbProcess::hungQueryEndsBlockingWait()
{
    AdbProcessImpl::setAnswerTimeoutMs(300);
    AdbProcess::setAdbPath(writeScript("hung2", "exec sleep 30"));
    AdbProcess adb;
    QSignalSpy spy(&adb, &AdbProcess::adbProcessResult);
    LogCapture log;
    adb.execute("S", {"shell", "settings", "get", "system", "show_touches"});
    QVERIFY(adb.waitForStarted());
    QVERIFY(!adb.waitForFinished());
    QVERIFY(!adb.isRuning());
    QCOMPARE(LogCapture::count("adb did not answer"), 1);
    QTRY_COMPARE(results(spy).last(), AdbProcess::ADB_EXIT_ERROR);
}

void TestAdbProcess::transfersAndServerShellAreNotTimedOut_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("push") << QStringList{"push", "/tmp/server.jar", "/data/local/tmp/server.jar"};
    QTest::newRow("install") << QStringList{"install", "-r", "/tmp/app.apk"};
    QTest::newRow("logcat") << QStringList{"logcat", "-d"};
    QTest::newRow("server shell") << QStringList{"shell", "CLASSPATH=/data/local/tmp/server.jar", "app_process", "/",
                                                 "com.example.Server", "1.21"};
}

void TestAdbProcess::transfersAndServerShellAreNotTimedOut()
{
    QFETCH(QStringList, args);
    AdbProcessImpl::setAnswerTimeoutMs(100);
    AdbProcess::setAdbPath(writeScript("slow", "sleep 0.6; echo done"));
    AdbProcess adb;
    QCOMPARE(collect(adb, "S", args), (Results{AdbProcess::ADB_STARTED, AdbProcess::ADB_EXIT_OK}));
    QCOMPARE(adb.getStdOut(), QString("done"));
}

void TestAdbProcess::missingProgramIsLoggedOncePerPath()
{
    LogCapture log;
    AdbProcess adb;
    AdbProcess::setAdbPath(m_dir.filePath("gone-adb"));
    for (int poll = 0; poll < 3; ++poll) {
        QCOMPARE(collect(adb, "", {"devices"}), Results{AdbProcess::ADB_NOT_FOUND});
    }
    QCOMPARE(LogCapture::count("adb not found"), 1);
    QCOMPARE(LogCapture::count("gone-adb"), 1);

    // Found again and then lost again: that is news and said again.
    AdbProcess::setAdbPath(m_okAdb);
    collect(adb, "", {"devices"});
    AdbProcess::setAdbPath(m_dir.filePath("gone-adb"));
    collect(adb, "", {"devices"});
    QCOMPARE(LogCapture::count("adb not found"), 2);
}

void TestAdbProcess::parseDevices_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("serials");

    QTest::newRow("CR LF, offline skipped") << "List of devices attached\r\nABC\tdevice\r\nDEF\toffline\r\n\r\n"
                                            << QStringList{"ABC"};
    QTest::newRow("several, wireless") << "List of devices attached\nABC\tdevice\n10.0.0.7:5555\tdevice\n"
                                       << QStringList{"ABC", "10.0.0.7:5555"};
    QTest::newRow("unauthorized, case") << "X\tunauthorized\nY\tDevice\nZ\tdevice\textra\n" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("spaces are not tabs") << "ABC device\n" << QStringList{};
}

void TestAdbProcess::parseDevices()
{
    QFETCH(QString, output);
    QFETCH(QStringList, serials);
    QCOMPARE(AdbProcessImpl::parseDevicesSerial(output), serials);
}

void TestAdbProcess::parseIp()
{
    const QString ifconfig = "wlan0     Link encap:UNSPEC\n          inet addr:192.168.1.5  Bcast:192.168.1.255  Mask:255.255.255.0";
    QCOMPARE(AdbProcessImpl::parseDeviceIP(ifconfig), QString("192.168.1.5"));
    QCOMPARE(AdbProcessImpl::parseDeviceIP("INET ADDR:10.1.2.3 x"), QString("10.1.2.3"));
    QCOMPARE(AdbProcessImpl::parseDeviceIP("wlan0: error fetching interface information"), QString());

    QCOMPARE(AdbProcessImpl::parseDeviceIPByIp("3: wlan0    inet 10.0.0.7/24 brd 10.0.0.255 scope global wlan0"),
             QString("10.0.0.7"));
    QCOMPARE(AdbProcessImpl::parseDeviceIPByIp("3: wlan0   inet 10.0.0.7/24"), QString());
    QCOMPARE(AdbProcessImpl::parseDeviceIPByIp(""), QString());

    AdbProcess::setAdbPath(writeScript("ifconfig", "echo '          inet addr:172.16.0.9  Bcast:172.16.0.255'"));
    AdbProcess adb;
    collect(adb, "S", {"shell", "ifconfig", "wlan0"});
    QCOMPARE(adb.getDeviceIPFromStdOut(), QString("172.16.0.9"));
    QCOMPARE(adb.getDeviceIPByIpFromStdOut(), QString());
}

void TestAdbProcess::pathResolution()
{
    const QByteArray oldPath = qgetenv("PATH");
    const QString appDirAdb = QCoreApplication::applicationDirPath() + "/adb";
    QTemporaryDir binDir;
    QVERIFY(binDir.isValid());
    const QString pathAdb = binDir.filePath("adb");
    {
        QFile f(pathAdb);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexit 0\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The variable wins when it names an existing file, and is taken in absolute form.
    QDir::setCurrent(m_dir.path());
    qputenv("VADIZEDE_ADB_PATH", "ok-adb");
    AdbProcess::setAdbPath("");
    QCOMPARE(AdbProcess::getAdbPath(), QFileInfo(m_okAdb).absoluteFilePath());

    // Resolved once: a later change of the variable is not seen.
    qputenv("VADIZEDE_ADB_PATH", "missing");
    QCOMPARE(AdbProcess::getAdbPath(), QFileInfo(m_okAdb).absoluteFilePath());

    qputenv("PATH", QFile::encodeName(binDir.path()));
    AdbProcess::setAdbPath("");
    QCOMPARE(AdbProcess::getAdbPath(), pathAdb);

    qputenv("PATH", QFile::encodeName(m_dir.filePath("empty-dir")));
    AdbProcess::setAdbPath("");
    QCOMPARE(AdbProcess::getAdbPath(), appDirAdb);

    // A path set explicitly is used without any check.
    AdbProcess::setAdbPath("/nowhere/adb");
    QCOMPARE(AdbProcess::getAdbPath(), QString("/nowhere/adb"));

    qputenv("PATH", oldPath);
    qunsetenv("VADIZEDE_ADB_PATH");
}

QTEST_GUILESS_MAIN(TestAdbProcess)
#include "tst_adbprocess.moc"

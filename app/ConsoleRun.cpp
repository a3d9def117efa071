#include "ConsoleRun.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "AppFiles.h"
#include "AppPath.h"
#include "Config.h"
#include "HeadlessRecording.h"
#include "LogHandler.h"
#include "ShowTouches.h"
#include "SignalWatcher.h"
#include "StartUp.h"
#include "WirelessStart.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"

namespace {

void print(FILE* stream, const QString& text)
{
    std::fputs(qPrintable(text), stream);
    std::fflush(stream);
}

// Serial and state of every device line of "adb devices".
QString deviceLines(const QString& output)
{
    QString lines;
    for (const QString& line : output.split('\n')) {
        const QStringList fields = line.trimmed().split(QRegExp("\\s+"), Qt::SkipEmptyParts);
        if (fields.size() >= 2 && !line.startsWith("List of devices") && !line.startsWith('*')) {
            lines += fields.at(0) + '\t' + fields.at(1) + '\n';
        }
    }
    return lines;
}

int listDevices()
{
    initDataPath();
    setStartupEnvironment();
    dvk::AdbProcess::setAdbPath(Config::getInstance()->getAdbPath());
    dvk::AdbProcess adb;
    dvk::AdbProcess::ADB_EXEC_RESULT result = dvk::AdbProcess::ADB_RUN_ERROR;
    QObject::connect(&adb, &dvk::AdbProcess::adbProcessResult, [&result](dvk::AdbProcess::ADB_EXEC_RESULT r) {
        if (r != dvk::AdbProcess::ADB_STARTED) {
            result = r;
        }
    });
    adb.listDevices();
    adb.waitForFinished();
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        print(stderr, QCoreApplication::translate("CommandLine", "%1: adb devices failed: %2")
                          .arg(QCoreApplication::applicationName().toLower(), adb.getErrorOut().trimmed()) + "\n");
        return 1;
    }
    print(stdout, deviceLines(adb.getStdOut()));
    return 0;
}

} // namespace

int runCommandLineAction(const CommandLine& commandLine, CommandLine::Action action, int& argc, char** argv)
{
    // No log file for these: a quick query must not truncate the log of a running window.
    qInstallMessageHandler(myMessageOutput);
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    installTranslator();
    switch (action) {
    case CommandLine::ShowHelp:
        print(stdout, commandLine.helpText());
        return 0;
    case CommandLine::ShowVersion:
        print(stdout, QCoreApplication::applicationName() + " " + QCoreApplication::applicationVersion() + "\n");
        return 0;
    case CommandLine::ListDevices:
        return listDevices();
    default:
        print(stderr, commandLine.errorText() + "\n");
        return CommandLine::kUsageExitCode;
    }
}

int switchToWireless(LaunchOptions& options)
{
    WirelessStart start(options.tcpipAddress.isEmpty() ? options.serial : QString(), options.tcpipAddress);
    int exitCode = 1;
    QObject::connect(&start, &WirelessStart::progress, [](const QString& text) { print(stdout, text + "\n"); });
    QObject::connect(&start, &WirelessStart::ready, [&options, &exitCode](const QString& serial) {
        options.serial = serial;
        exitCode = 0;
        QCoreApplication::exit(0);
    });
    QObject::connect(&start, &WirelessStart::failed, [](const QString& why) {
        print(stderr, QCoreApplication::applicationName().toLower() + ": " + why + "\n");
        QCoreApplication::exit(1);
    });
    // From inside the loop: an end reported before it runs would not end it.
    QTimer::singleShot(0, &start, &WirelessStart::start);
    QCoreApplication::exec();
    return exitCode;
}

int runHeadlessRecording(const LaunchOptions& launchOptions, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    installTranslator();
    dvk::AdbProcess::setAdbPath(Config::getInstance()->getAdbPath());
    LaunchOptions options = launchOptions;
    if (options.tcpip && switchToWireless(options) != 0) {
        closeLogFile();
        return 1;
    }

    int exitCode = 1;
    {
        std::unique_ptr<ShowTouches> showTouches(options.showTouches ? new ShowTouches() : nullptr);
        HeadlessRecording recording(options, AppFiles::serverFile());
        SignalWatcher watcher;
        QObject::connect(&watcher, &SignalWatcher::received, &recording, &HeadlessRecording::stop);
        // Queued: the end may be known before the event loop runs.
        QObject::connect(
            &recording, &HeadlessRecording::finished, &app,
            [&exitCode](int code) {
                exitCode = code;
                QCoreApplication::exit(code);
            },
            Qt::QueuedConnection);
        recording.start();
        app.exec();
        dvk::IDeviceManage::getInstance().disconnectAllDevice();
    }
    closeLogFile();
    return exitCode;
}

int reportNoDisplay(int& argc, char** argv)
{
    qWarning("Cannot open the display");
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    installTranslator();
    print(stderr, QCoreApplication::translate("CommandLine", "%1: cannot open the display; set DISPLAY, or use --no-display")
                      .arg(QCoreApplication::applicationName().toLower())
                  + "\n");
    closeLogFile();
    return 1;
}

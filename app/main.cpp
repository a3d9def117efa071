#include <QApplication>

#include <memory>

#include "AppPath.h"
#include "CommandLine.h"
#include "Config.h"
#include "ConsoleRun.h"
#include "DeviceWindows.h"
#include "LaunchOptions.h"
#include "LogHandler.h"
#include "MainWindow.h"
#include "MouseTap.h"
#include "NamedDevices.h"
#include "ShowTouches.h"
#include "SignalWatcher.h"
#include "StartUp.h"
#include "WindowPlacement.h"
#include "adb/AdbProcess.h"
#include "group/GroupController.h"

int main(int argc, char* argv[])
{
    limitMemoryPools();
    // Before anything else: a refused argument must leave no trace, no adb call and no window.
    CommandLine commandLine;
    const CommandLine::Action action = commandLine.parse(commandLineArguments(argc, argv));
    if (action != CommandLine::Run) {
        return runCommandLineAction(commandLine, action, argc, argv);
    }
    LaunchOptions options = commandLine.options();
    LaunchOptions::setCurrent(options);

    initDataPath();
    setStartupEnvironment();
    openLogFile(getAppPath() + "/appdebug.log");
    qInstallMessageHandler(myMessageOutput);
    if (options.noDisplay) {
        return runHeadlessRecording(options, argc, argv);
    }
    if (!canOpenDisplay()) {
        return reportNoDisplay(argc, argv);
    }

    // The OpenGL implementation and the surface format have to be fixed before the application object exists.
    applyOpenGLChoice(Config::getInstance()->getDesktopOpenGL());
    setDefaultSurfaceFormat();

    QApplication app(argc, argv);
    setApplicationIdentity();
    qDebug("%s", qUtf8Printable(QCoreApplication::applicationVersion()));
    qDebug("%s", qUtf8Printable(QCoreApplication::applicationName()));

    installAppFont();
    QCoreApplication::setApplicationVersion(displayVersion(QCoreApplication::applicationVersion()));
    installTranslator();
    dvk::AdbProcess::setAdbPath(Config::getInstance()->getAdbPath());
    if (options.tcpip) {
        if (const int failed = switchToWireless(options)) {
            closeLogFile();
            return failed;
        }
        LaunchOptions::setCurrent(options);
    }
    MouseTap::getInstance()->initMouseEventTap();

    // A recording or a changed device setting is put in order on SIGINT and SIGTERM as on a closed window.
    std::unique_ptr<SignalWatcher> watcher;
    if (!options.recordFile.isEmpty() || options.showTouches) {
        watcher.reset(new SignalWatcher());
        QObject::connect(watcher.get(), &SignalWatcher::received, &app, &QCoreApplication::quit);
    }
    std::unique_ptr<ShowTouches> showTouches(options.showTouches ? new ShowTouches() : nullptr);

    int exitCode = 0;
    {
        // Gone, with the devices it ended, before the settings are restored and the log is closed.
        MainWindow window(options);
        WindowPlacement::apply(&window, options);
        // Gone before the main window, which ends every connection.
        DeviceWindows others(&window, options);
        NamedDevices named(options.otherSerials, options);
        dvk::GroupController::instance().setEnabled(options.groupControl);
        window.show();
        exitCode = app.exec();
    }
    showTouches.reset();
    closeLogFile();
    MouseTap::getInstance()->quitMouseEventTap();
    return exitCode;
}

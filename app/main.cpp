#include <QApplication>

#include "AppPath.h"
#include "Config.h"
#include "LogHandler.h"
#include "MainWindow.h"
#include "MouseTap.h"
#include "StartUp.h"
#include "adb/AdbProcess.h"

MainWindow* g_mainWindow = nullptr;

int main(int argc, char* argv[])
{
    initDataPath();
    setStartupEnvironment();
    openLogFile(getAppPath() + "/appdebug.log");
    qInstallMessageHandler(myMessageOutput);

    // The OpenGL implementation and the surface format have to be fixed before the application object exists.
    applyOpenGLChoice(Config::getInstance()->getDesktopOpenGL());
    setDefaultSurfaceFormat();

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("VaDizede");
    QCoreApplication::setApplicationVersion(VADIZEDE_VERSION);
    qDebug("%s", qUtf8Printable(QCoreApplication::applicationVersion()));
    qDebug("%s", qUtf8Printable(QCoreApplication::applicationName()));

    installAppFont();
    QCoreApplication::setApplicationVersion(displayVersion(QCoreApplication::applicationVersion()));
    installTranslator();
    MouseTap::getInstance()->initMouseEventTap();
    dvk::AdbProcess::setAdbPath(Config::getInstance()->getAdbPath());

    g_mainWindow = new MainWindow();
    g_mainWindow->show();
    const int exitCode = app.exec();

    delete g_mainWindow;
    g_mainWindow = nullptr;
    closeLogFile();
    MouseTap::getInstance()->quitMouseEventTap();
    return exitCode;
}

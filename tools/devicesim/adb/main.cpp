// The adb stand-in of the simulated device.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>

#include <cstdio>

#include "AdbTool.h"
#include "Daemon.h"
#include "SimHome.h"

namespace {

QString homePath()
{
    const QString configured = sim::SimHome::fromEnvironment();
    return configured.isEmpty() ? QDir::homePath() + "/.vadizede-devicesim" : configured;
}

int runDaemon(const sim::SimHome& home)
{
    sim::Daemon daemon(home);
    QString error;
    if (!daemon.start(&error)) {
        fprintf(stderr, "daemon: %s\n", error.toUtf8().constData());
        return 1;
    }
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const sim::SimHome home(homePath());
    if (args.value(0) == "__daemon") {
        return runDaemon(home);
    }
    QElapsedTimer timer;
    timer.start();
    sim::AdbTool tool(home, args);
    const int code = tool.run();
    fflush(stdout);
    fflush(stderr);
    if (tool.shouldLog() && home.isValid()) {
        sim::appendJsonLine(home.invocationLogPath(),
                            QJsonObject{{"argv", QJsonArray::fromStringList(args)},
                                        {"exit", code},
                                        {"pid", QCoreApplication::applicationPid()},
                                        {"t", sim::nowMs()},
                                        {"ms", timer.elapsed()}});
    }
    return code;
}

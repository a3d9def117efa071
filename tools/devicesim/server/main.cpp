// The device-side server stand-in, started by the adb stand-in's app_process.
#include <QCoreApplication>

#include <cstdio>

#include "ScreenCapture.h"
#include "ScreenRecorder.h"
#include "SimHome.h"
#include "SimServer.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const sim::SimHome home(sim::SimHome::fromEnvironment());
    const QString device = QString::fromLocal8Bit(qgetenv("DEVICESIM_DEVICE"));
    if (!home.isValid() || device.isEmpty()) {
        fprintf(stderr, "[server] ERROR: must be started through the simulated adb\n");
        return 1;
    }
    const QStringList args = app.arguments().mid(1);
    // The device's screen recorder and screencap run from the same program, as adb's exec-out starts them.
    if (args.value(0) == "--screenrecord") {
        return sim::ScreenRecorder(home, device).run(args.mid(1));
    }
    if (args.value(0) == "--screencap") {
        return sim::ScreenCapture(home, device).run(args.mid(1));
    }
    sim::SimServer server(home, device);
    int exitCode = 1;
    if (!server.start(args, exitCode)) {
        return exitCode;
    }
    return QCoreApplication::exec();
}

#ifndef SERVERHARNESS_H
#define SERVERHARNESS_H

// Shared by the bring-up tests: a Server wired to a simulated device, its signals recorded,
// and the adb invocations and log lines it caused.
#include <QtTest>

#include <QElapsedTimer>

#include <QJsonArray>
#include <QJsonObject>

#include "LogCapture.h"
#include "SimDevice.h"
#include "SimDeviceParams.h"
#include "adb/AdbProcess.h"
#include "server/Server.h"

// One bring-up against one simulated device.
struct ServerHarness
{
    explicit ServerHarness(const SimDevice::Options& options = SimDevice::Options())
        : sim(options)
        , started(&server, &dvk::Server::serverStarted)
        , stopped(&server, &dvk::Server::serverStoped)
        , params(simParams(sim.serial()))
    {
        dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
        // A limit the simulated screen is larger than, so that the command line carries a real one.
        params.maxSize = 720;
    }

    ~ServerHarness()
    {
        server.stop();
        // Let the killed shell and the self-deleting runners finish before the device goes away.
        QTest::qWait(200);
    }

    // Waits until everything the bring-up started has ended: the server (when it ran) has
    // written its exit and the adb shell that hosted it has left its line in the simulator's
    // log. Then whatever their ends still report has arrived too, so a test may check that
    // nothing more came.
    bool waitConnectionEnd(int timeoutMs = 10000)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        bool serverRan = false;
        for (const QJsonObject& entry : sim.serverLog()) {
            serverRan = serverRan || entry.value("event").toString() == "start";
        }
        if (serverRan && !sim.waitForServerEvent("exit", timeoutMs)) {
            return false;
        }
        while (serverRan && invocations("shell").isEmpty()) {
            if (elapsed.elapsed() > timeoutMs) {
                return false;
            }
            QTest::qWait(20);
        }
        // The runners' ends travel through the event loop after their processes are gone.
        QTest::qWait(100);
        return true;
    }

    bool waitStarted(int timeoutMs)
    {
        return started.count() > 0 || started.wait(timeoutMs);
    }

    // Starts the bring-up and waits for its outcome: the milliseconds that took, or -1 when
    // the start was refused or no outcome came within timeoutMs.
    qint64 startAndWait(int timeoutMs)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        if (!server.start(params) || !waitStarted(timeoutMs)) {
            return -1;
        }
        return elapsed.elapsed();
    }

    // Invocations whose first argument after the serial selection is the given command.
    QList<QJsonObject> invocations(const QString& command) const
    {
        QList<QJsonObject> result;
        for (const QJsonObject& entry : sim.invocations()) {
            if (argv(entry).value(0) == command) {
                result << entry;
            }
        }
        return result;
    }

    static QStringList argv(const QJsonObject& entry)
    {
        QStringList args;
        for (const QJsonValue& value : entry.value("argv").toArray()) {
            args << value.toString();
        }
        if (args.value(0) == "-s") {
            args = args.mid(2);
        }
        return args;
    }

    bool hasInvocation(const QStringList& args) const
    {
        for (const QJsonObject& entry : sim.invocations()) {
            if (argv(entry) == args) {
                return true;
            }
        }
        return false;
    }

    SimDevice sim;
    dvk::Server server;
    QSignalSpy started;
    QSignalSpy stopped;
    dvk::DeviceParams params;
};

#endif // SERVERHARNESS_H

#pragma once

#include "DeviceAccess.h"

#include <QHash>
#include <QStringList>

#include <functional>

namespace sim {

// The adb commands about the host's view of its devices: the list and states,
// the adb server (the daemon), tunnels, wireless transports and logcat.
class HostCommands
{
public:
    explicit HostCommands(const DeviceAccess& access);

    static bool handles(const QString& command);
    int run(const QString& command, const QStringList& rest);
    // Ends the daemon if it runs; also used by "sim stop".
    static void stopDaemon(const SimHome& home);

private:
    using Command = std::function<int(HostCommands*, const QStringList&)>;
    static const QHash<QString, Command>& commands();

    int devices(const QStringList& rest);
    int version();
    int startServer();
    int getState();
    int getSerialNo();
    int waitForDevice();
    int tunnel(const QString& op, const QStringList& rest);
    int listTunnels(const QString& op, const QString& first, const QString& second);
    int logcat(const QStringList& rest);
    int tcpip(const QStringList& rest);
    int usb();
    int connectDevice(const QStringList& rest);
    int disconnectDevice(const QStringList& rest);
    bool addAlias(const QString& serial, const QString& host, int port);

    bool ensureDaemon();
    bool daemonRequest(const QJsonObject& request, QJsonObject& reply);

    DeviceAccess m_access;
    SimHome m_home;
};

} // namespace sim

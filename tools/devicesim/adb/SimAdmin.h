#pragma once

#include "SimHome.h"

#include <QJsonObject>
#include <QStringList>

namespace sim {

// "adb sim ...": creating, changing, listing and removing simulated devices
// and stopping everything the simulator started. Not adb traffic: these
// commands stay out of the invocation log.
class SimAdmin
{
public:
    explicit SimAdmin(const SimHome& home);

    int run(const QStringList& rest);

private:
    int add(const QStringList& args);
    bool readAddOptions(const QStringList& args, QJsonObject& device, QString& serial, QString& error) const;
    int createDevice(QJsonObject device, QString serial);
    int addDefault();
    int set(const QStringList& args);
    int remove(const QStringList& serials);
    int show(const QStringList& serials);
    int stop();

    SimHome m_home;
};

} // namespace sim

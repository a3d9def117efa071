#pragma once

#include "DeviceAccess.h"

#include <QStringList>

namespace sim {

// The adb commands that move files and packages to and from a device: push,
// pull, install and uninstall.
class TransferCommands
{
public:
    explicit TransferCommands(const DeviceAccess& access);

    static bool handles(const QString& command);
    int run(const QString& command, const QStringList& rest);

private:
    struct PushTotals
    {
        int files = 0;
        qint64 bytes = 0;
    };

    int push(const QStringList& rest);
    int pushOne(const QString& device, const QString& local, const QString& remote, bool many, PushTotals& totals);
    int pull(const QStringList& rest);
    int install(const QStringList& rest);
    int uninstall(const QStringList& rest);

    DeviceAccess m_access;
    SimHome m_home;
};

} // namespace sim

#pragma once

#include "SimHome.h"

#include <QStringList>

namespace sim {

// One run of the adb stand-in: reads adb's global options, then hands the
// command to the class that carries it out and returns adb's exit code.
class AdbTool
{
public:
    AdbTool(const SimHome& home, const QStringList& args);

    int run();
    // Sim management commands are not adb traffic and stay out of the log.
    bool shouldLog() const { return m_logged; }
    const QStringList& arguments() const { return m_args; }

private:
    bool readGlobalOptions(QStringList& args, int& exitCode);
    int dispatch(const QString& command, const QStringList& rest);

    SimHome m_home;
    QStringList m_args;
    QString m_serial;
    bool m_logged = true;
};

} // namespace sim

#pragma once

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QtTest>

#include "SimDevice.h"
#include "TestWait.h"

// What the simulated device saw, in the shapes the command-line tests compare (the adb calls
// themselves come from AppRun.h's adbCalls).
namespace SimLogs {

// The last line of the server's log with this event; empty when there is none.
inline QJsonObject lastServerEvent(const SimDevice& sim, const QString& event, const QString& serial = QString())
{
    QJsonObject found;
    for (const QJsonObject& line : sim.serverLog(serial)) {
        if (line.value("event").toString() == event) {
            found = line;
        }
    }
    return found;
}

inline bool waitForFileSize(const QString& file, qint64 bytes, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(TestWait::scaled(timeoutMs));
    while (QFileInfo(file).size() < bytes) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

} // namespace SimLogs

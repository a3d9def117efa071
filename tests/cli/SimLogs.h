#pragma once

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QtTest>

#include "AppRun.h"
#include "SimDevice.h"

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

// When the device first took a key with this code through its input command; -1 when it never did.
inline qint64 inputKeyAt(const SimDevice& sim, const QString& code, const QString& serial = QString())
{
    for (const QJsonObject& event : sim.eventLog(serial)) {
        if (event.value("event").toString() == "input" && event.value("codes").toArray().contains(code)) {
            return qint64(event.value("t").toDouble());
        }
    }
    return -1;
}

inline bool waitForFileSize(const QString& file, qint64 bytes, int timeoutMs = 20000)
{
    return waitFor([&]() { return QFileInfo(file).size() >= bytes; }, timeoutMs);
}

} // namespace SimLogs

#pragma once

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QtTest>

#include "SimDevice.h"

// What the simulated device saw, in the shapes the command-line tests compare.
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

// The arguments of every adb invocation, in order.
inline QList<QStringList> adbCalls(const SimDevice& sim)
{
    QList<QStringList> calls;
    for (const QJsonObject& line : sim.invocations()) {
        calls << line.value("argv").toVariant().toStringList();
    }
    return calls;
}

inline bool waitForFileSize(const QString& file, qint64 bytes, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (QFileInfo(file).size() < bytes) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

} // namespace SimLogs

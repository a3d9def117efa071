#pragma once

#include "DeviceAccess.h"

#include <QJsonObject>
#include <QStringList>

namespace sim {

// The device's "input" program: checks its arguments as the phone does, logs
// each injected event to events.jsonl (positions in display pixels), keeps the
// last touch for the screen recorder's marker and appends typed text.
class InputCommand
{
public:
    InputCommand(const DeviceAccess& access, const QString& device, const QJsonObject& state);

    int run(const QStringList& args);

    static QString usage(bool withMotionEvent);

private:
    struct Event
    {
        QString command;
        QJsonObject fields;
        QJsonObject touch;  // the last touch after it, when it touches
        QString typed;
    };

    bool motionEventAvailable() const;
    bool parse(const QString& command, const QStringList& args, Event& event, QString* error) const;
    static bool readCoordinates(const QStringList& args, int from, const QStringList& names, QJsonObject& fields,
                                QString* error);
    static bool parseKeyEvent(const QStringList& args, QJsonObject& fields);
    int invalid(const QString& command) const;
    int unknown(const QString& command) const;
    bool apply(const Event& event) const;

    DeviceAccess m_access;
    QString m_device;
    QJsonObject m_state;
};

} // namespace sim

#pragma once

#include "SimHome.h"

#include <QJsonObject>
#include <QString>

#include <functional>

namespace sim {

// The device one adb command is about: selection by serial with adb's errors,
// reading its state, and changing it under the home's lock.
class DeviceAccess
{
public:
    DeviceAccess(const SimHome& home, const QString& serial);

    const SimHome& home() const { return m_home; }
    const QString& serial() const { return m_serial; }

    // Picks the entry named by -s (or the only one), with adb's errors for
    // none, several, unknown, offline and unauthorized.
    bool select(QJsonObject& entry) const;
    QString physical(const QJsonObject& entry) const { return m_home.physicalSerial(entry); }
    bool load(const QJsonObject& entry, QJsonObject& device) const;
    // False when the state could not be locked, read or written.
    bool update(const QString& physicalSerial, const std::function<void(QJsonObject&)>& change) const;
    void recordEvent(const QString& physicalSerial, const QJsonObject& event) const;

private:
    bool pickEntry(QJsonObject& entry) const;

    SimHome m_home;
    QString m_serial;
};

} // namespace sim

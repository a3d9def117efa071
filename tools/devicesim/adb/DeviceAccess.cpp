#include "DeviceAccess.h"

#include "Console.h"

namespace sim {

namespace {

const char* const kUnauthorized =
    "adb: device unauthorized.\n"
    "This adb server's $ADB_VENDOR_KEYS is not set\n"
    "Try 'adb kill-server' if that seems wrong.\n"
    "Otherwise check for a confirmation dialog on your device.";

} // namespace

DeviceAccess::DeviceAccess(const SimHome& home, const QString& serial) : m_home(home), m_serial(serial) {}

bool DeviceAccess::pickEntry(QJsonObject& entry) const
{
    const QList<QJsonObject> entries = m_home.entries();
    if (!m_serial.isEmpty()) {
        bool found = false;
        for (const QJsonObject& candidate : entries) {
            if (candidate.value("serial").toString() == m_serial) {
                entry = candidate;
                found = true;
            }
        }
        if (!found) {
            Console::err(QString("adb: device '%1' not found").arg(m_serial));
        }
        return found;
    }
    if (entries.isEmpty()) {
        Console::err("adb: no devices/emulators found");
        return false;
    }
    if (entries.size() > 1) {
        Console::err("adb: more than one device/emulator");
        return false;
    }
    entry = entries.first();
    return true;
}

bool DeviceAccess::select(QJsonObject& entry) const
{
    if (!pickEntry(entry)) {
        return false;
    }
    QJsonObject device;
    const QString state = load(entry, device) ? device.value("state").toString("device") : "offline";
    const QString entryState = entry.value("state").toString(state);
    if (state == "unauthorized" || entryState == "unauthorized") {
        Console::err(kUnauthorized);
        return false;
    }
    if (state != "device" || entryState != "device") {
        Console::err("adb: device offline");
        return false;
    }
    return true;
}

bool DeviceAccess::load(const QJsonObject& entry, QJsonObject& device) const
{
    return m_home.readDevice(physical(entry), device);
}

bool DeviceAccess::update(const QString& physicalSerial, const std::function<void(QJsonObject&)>& change) const
{
    const auto lock = m_home.lock();
    if (!lock) {
        return false;
    }
    QJsonObject device;
    if (!m_home.readDevice(physicalSerial, device)) {
        return false;
    }
    change(device);
    return m_home.writeEntry(device);
}

void DeviceAccess::recordEvent(const QString& physicalSerial, const QJsonObject& event) const
{
    QJsonObject line = event;
    line.insert("t", nowMs());
    appendJsonLine(m_home.eventLogPath(physicalSerial), line);
}

} // namespace sim

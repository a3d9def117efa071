#include "LocalPorts.h"

#include <QHostAddress>
#include <QSet>
#include <QTcpServer>

#include "device/IDeviceManage.h"

namespace {

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

} // namespace

LocalPorts& LocalPorts::instance()
{
    static LocalPorts s_ports;
    return s_ports;
}

LocalPorts::LocalPorts()
{
    connect(&registry(), &dvk::IDeviceManage::deviceDisconnected, this, &LocalPorts::release);
    connect(&registry(), &dvk::IDeviceManage::deviceConnected, this, [this](bool success, const QString& serial) {
        if (!success) {
            release(serial);
        }
    });
}

quint16 LocalPorts::take(const QString& serial, quint16 first)
{
    dropStale();
    if (m_held.contains(serial)) {
        return m_held.value(serial);
    }
    const QList<quint16> heldList = m_held.values();
    const QSet<quint16> held(heldList.cbegin(), heldList.cend());
    // The first port is the configured one: with one device it is used as it always was.
    for (quint32 port = first; port <= 65535; ++port) {
        if (held.contains(quint16(port)) || (port != first && !bindable(quint16(port)))) {
            continue;
        }
        m_held.insert(serial, quint16(port));
        if (port != first) {
            qInfo("%s", qUtf8Printable(QStringLiteral("%1 connects through local port %2").arg(serial).arg(port)));
        }
        return quint16(port);
    }
    qWarning("%s", qUtf8Printable(QStringLiteral("no free local port after %1 for %2").arg(first).arg(serial)));
    return first;
}

bool LocalPorts::heldByOthers(const QString& serial) const
{
    return m_held.size() > (m_held.contains(serial) ? 1 : 0);
}

void LocalPorts::release(const QString& serial)
{
    m_held.remove(serial);
}

bool LocalPorts::bindable(quint16 port)
{
    QTcpServer probe;
    const bool free = probe.listen(QHostAddress::LocalHost, port);
    probe.close();
    return free;
}

void LocalPorts::dropStale()
{
    for (auto it = m_held.begin(); it != m_held.end();) {
        it = registry().getDevice(it.key()) ? std::next(it) : m_held.erase(it);
    }
}

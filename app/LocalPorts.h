#ifndef LOCALPORTS_H
#define LOCALPORTS_H

#include <QMap>
#include <QObject>
#include <QString>

// The local TCP ports of this process's connections, one per device, so that two bring-ups at
// the same moment never meet on one port. A port is held from the moment a connection's
// parameters are made until its device leaves the registry.
class LocalPorts : public QObject
{
    Q_OBJECT
public:
    static LocalPorts& instance();

    // The serial's port: the one it holds already; else the first port, when no other device
    // holds it; else the next port after it that no device holds and that can be bound on
    // 127.0.0.1 now.
    quint16 take(const QString& serial, quint16 first);
    void release(const QString& serial);
    // Whether a device other than the serial's holds a port: is connected or connecting.
    bool heldByOthers(const QString& serial) const;
    // 0 when the serial holds none.
    quint16 heldBy(const QString& serial) const { return m_held.value(serial); }

    static bool bindable(quint16 port);

private:
    LocalPorts();
    // Ports of serials the registry never took or has let go without a word.
    void dropStale();

    QMap<QString, quint16> m_held;
};

#endif // LOCALPORTS_H

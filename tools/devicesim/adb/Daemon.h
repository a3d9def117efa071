#pragma once

#include "SimHome.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace sim {

// The stand-in's equivalent of adb's server: it owns the forward listeners, the
// reverse table and the device side's abstract sockets, and relays the
// connections between them. It ends when it has been idle for a while, when its
// home disappears, or on request.
class Daemon : public QObject
{
    Q_OBJECT
public:
    explicit Daemon(const SimHome& home, QObject* parent = nullptr);
    ~Daemon() override;

    bool start(QString* error);

private:
    struct Forward
    {
        QString serial;
        QString device;
        QString local;
        QString remote;
        QPointer<QTcpServer> listener;
    };
    struct Reverse
    {
        QString serial;
        QString device;
        QString remote;
        QString local;
    };
    struct Abstract
    {
        quint16 port = 0;
        QPointer<QTcpSocket> registration;
    };

    void onControlConnection();
    void onRequest(QTcpSocket* client);
    QJsonObject handle(const QJsonObject& request, QTcpSocket* client, bool& keepOpen);

    QJsonObject addForward(const QJsonObject& request);
    QJsonObject removeForward(const QJsonObject& request);
    QJsonObject addReverse(const QJsonObject& request);
    QJsonObject removeReverse(const QJsonObject& request);
    QJsonObject listForwards(const QString& serial) const;
    QJsonObject listReverses(const QString& serial) const;
    void dropSerial(const QString& serial);
    void closeForwardsOf(const QString& serial);
    void connectReverse(const QJsonObject& request, QTcpSocket* client);
    QJsonObject registerAbstract(const QJsonObject& request, QTcpSocket* client);
    void onForwardConnection(quint16 port);
    void startRelay(QTcpSocket* a, QTcpSocket* b);

    void saveTunnels() const;
    void onHousekeeping();
    void shutdown();
    static QJsonObject failure(const QString& text);
    static QString key(const QString& device, const QString& name) { return device + "\n" + name; }

    SimHome m_home;
    QTcpServer m_control;
    QMap<quint16, Forward> m_forwards;
    QMap<QString, Reverse> m_reverses;
    QHash<QString, Abstract> m_abstracts;
    int m_relays = 0;
    qint64 m_idleSince = 0;
    qint64 m_unusedSince = 0;
    QTimer m_housekeeping;
};

} // namespace sim

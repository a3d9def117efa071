#include "DaemonClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QLockFile>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>

namespace sim {

quint16 DaemonClient::port() const
{
    QJsonObject info;
    if (!readJsonFile(m_home.daemonInfoPath(), info)) {
        return 0;
    }
    return static_cast<quint16>(info.value("port").toInt());
}

qint64 DaemonClient::pid() const
{
    QJsonObject info;
    if (!readJsonFile(m_home.daemonInfoPath(), info)) {
        return 0;
    }
    return static_cast<qint64>(info.value("pid").toDouble());
}

QTcpSocket* DaemonClient::openChannel(const QJsonObject& request, QJsonObject& reply, QString* error,
                                      QObject* parent, int timeoutMs) const
{
    const quint16 daemonPort = port();
    if (daemonPort == 0) {
        if (error) {
            *error = "cannot connect to daemon: not running";
        }
        return nullptr;
    }
    auto* socket = new QTcpSocket(parent);
    socket->connectToHost(QHostAddress::LocalHost, daemonPort);
    if (!socket->waitForConnected(timeoutMs)) {
        if (error) {
            *error = "cannot connect to daemon: " + socket->errorString();
        }
        delete socket;
        return nullptr;
    }
    QByteArray line = QJsonDocument(request).toJson(QJsonDocument::Compact);
    line.append('\n');
    socket->write(line);
    QElapsedTimer timer;
    timer.start();
    while (!socket->canReadLine()) {
        const int left = timeoutMs - static_cast<int>(timer.elapsed());
        if (left <= 0 || !socket->waitForReadyRead(left)) {
            if (error) {
                *error = "no answer from daemon";
            }
            delete socket;
            return nullptr;
        }
    }
    const QJsonDocument doc = QJsonDocument::fromJson(socket->readLine());
    reply = doc.object();
    if (!reply.value("ok").toBool()) {
        if (error) {
            *error = reply.value("error").toString("daemon refused the request");
        }
        delete socket;
        return nullptr;
    }
    return socket;
}

bool DaemonClient::request(const QJsonObject& request, QJsonObject& reply, QString* error, int timeoutMs) const
{
    QTcpSocket* socket = openChannel(request, reply, error, nullptr, timeoutMs);
    if (!socket) {
        return false;
    }
    socket->disconnectFromHost();
    delete socket;
    return true;
}

bool DaemonClient::isRunning() const
{
    QJsonObject reply;
    if (!request(QJsonObject{{"op", "ping"}}, reply, nullptr, 2000)) {
        return false;
    }
    // A stale info file may point at a port that another home's daemon now holds.
    return reply.value("home").toString() == m_home.root();
}

bool DaemonClient::ensureRunning(const QString& adbProgram, QString* error)
{
    if (isRunning()) {
        return true;
    }
    QLockFile startLock(m_home.root() + "/daemon.lock");
    startLock.setStaleLockTime(10000);
    if (!startLock.tryLock(10000)) {
        if (error) {
            *error = "cannot lock daemon start";
        }
        return false;
    }
    if (isRunning()) {
        return true;
    }
    QProcess process;
    process.setProgram(adbProgram);
    process.setArguments({"__daemon"});
    process.setWorkingDirectory(m_home.root());
    // The daemon must not hold the pipes of whoever ran this adb command.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(m_home.root() + "/daemon.log", QIODevice::Append);
    process.setStandardErrorFile(m_home.root() + "/daemon.log", QIODevice::Append);
    qint64 daemonPid = 0;
    if (!process.startDetached(&daemonPid)) {
        if (error) {
            *error = "cannot start daemon";
        }
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        if (pid() == daemonPid && isRunning()) {
            return true;
        }
        QThread::msleep(10);
    }
    if (error) {
        *error = "daemon did not start";
    }
    return false;
}

} // namespace sim

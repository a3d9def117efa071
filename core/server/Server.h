#ifndef SERVER_H
#define SERVER_H

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include "adb/AdbProcess.h"
#include "device/DeviceParams.h"
#include "server/ForwardAttempt.h"

class QTcpSocket;

namespace dvk {

class TcpServer;
class VideoSocket;

// Brings the device-side server up for one device (push, tunnel, shell, two sockets, handshake)
// and down again. Lives and works on the GUI thread.
class Server : public QObject
{
    Q_OBJECT
public:
    enum ServerStartStep {
        STEP_IDLE = 0,
        STEP_PUSH,
        STEP_TUNNEL_REVERSE,
        STEP_TUNNEL_FORWARD,
        STEP_EXECUTE,
        STEP_RUNNING,
    };

    explicit Server(QObject* parent = nullptr);
    ~Server() override;

    // Takes the device's own record: the bring-up reads only its connection fields.
    bool start(const DeviceParams& params);
    void stop();
    // Ends the device-side server but keeps the connections, so that what it sent last can still be read.
    void endServerProcess();

    VideoSocket* getVideoSocket();
    QTcpSocket* getControlSocket();
    const DeviceParams& getParams() const;
    bool isReverse();

    static constexpr qint64 DEVICE_INFO_SIZE = 68;
    static constexpr int DEVICE_INFO_WAIT_MS = 300;

    bool readInfo(VideoSocket* videoSocket, QString& deviceName, QSize& size);
    // Decodes the device information when all of it is buffered; logs and fails otherwise.
    static bool takeInfo(VideoSocket* videoSocket, QString& deviceName, QSize& size);

    // After a failed start: the server itself could not run on the device (its shell ended with
    // an error before connecting), as opposed to the device or the tunnel failing.
    bool startRefused() const { return m_startRefused; }
    // After a failed start: why, for the user.
    QString failureReason() const;

    // The server command line after the serial selection, for the given parameters and tunnel mode.
    static QStringList serverArguments(const DeviceParams& params, bool tunnelForward);

signals:
    void serverStarted(bool success, const QString& deviceName = QString(), const QSize& size = QSize());
    // The spelling is part of the interface the device connects to; keep it.
    void serverStoped();

protected:
    void timerEvent(QTimerEvent* event) override;

private slots:
    void onWorkProcessResult(dvk::AdbProcess::ADB_EXEC_RESULT processResult);
    void onNewConnection();

private:
    bool startServerByStep();
    bool pushServer();
    bool enableTunnelReverse();
    void disableTunnelReverse();
    bool enableTunnelForward();
    void disableTunnelForward();
    bool execute();
    bool connectTo();
    void onConnectTimer();
    void onForwardAttemptFinished(ForwardAttempt::Outcome outcome);
    void stopForwardPoll();
    void onWorkResult(AdbProcess::ADB_EXEC_RESULT processResult);
    void onServerResult(AdbProcess::ADB_EXEC_RESULT processResult);
    void onAcceptedVideoSocket(VideoSocket* videoSocket);
    void onAcceptedControlSocket(QTcpSocket* controlSocket);
    void onInfoBytes();
    void finishInfoWait();
    void cancelInfoWait();
    void completeReverse();
    void listenForReverse();
    void removeTunnel();
    void reportFailure();
    void reportSuccess(const QString& deviceName, const QSize& size);

    void startAcceptTimeoutTimer();
    void stopAcceptTimeoutTimer();
    void startConnectTimeoutTimer();
    void stopConnectTimeoutTimer();
    void stopTimer(int& timerId);

    static void killAndWait(AdbProcess* process);

    QPointer<AdbProcess> m_workProcess;
    QPointer<AdbProcess> m_serverProcess;
    QPointer<TcpServer> m_serverSocket;
    QPointer<VideoSocket> m_videoSocket;
    QPointer<QTcpSocket> m_controlSocket;
    // The forward poll's attempt under way; the poll's ticks wait while there is one.
    QPointer<ForwardAttempt> m_forwardAttempt;
    bool m_tunnelEnabled = false;
    bool m_tunnelForward = false;
    // serverStarted(true) has been emitted and the shell still runs: its end is serverStoped().
    bool m_connected = false;
    int m_acceptTimeoutTimer = 0;
    int m_connectTimeoutTimer = 0;
    // Reverse mode waits for the handshake through the event loop, bounded by this timer.
    int m_infoTimeoutTimer = 0;
    int m_connectCount = 0;
    int m_restartCount = 0;
    QString m_deviceName;
    QSize m_deviceSize;
    DeviceParams m_params;
    ServerStartStep m_serverStartStep = STEP_IDLE;
    bool m_startRefused = false;
    QString m_failure;
};

} // namespace dvk

#endif // SERVER_H

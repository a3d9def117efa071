#ifndef FORWARDATTEMPT_H
#define FORWARDATTEMPT_H

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>

class QTcpSocket;

namespace dvk {

class VideoSocket;

// One try at the two connections of the forward tunnel and the device information behind
// them. Every wait goes through the event loop under its own time limit, so a device that
// is slow or silent never holds up the window. The outcome is reported once.
class ForwardAttempt : public QObject
{
    Q_OBJECT
public:
    enum Outcome {
        CONNECTED,
        // Nobody answered behind the tunnel yet, or the answer was incomplete: try again.
        RETRY,
        // The tunnel itself could not be reached: trying again will not help.
        FINAL,
    };
    Q_ENUM(Outcome)

    static constexpr int CONNECT_WAIT_MS = 1000;
    static constexpr int FIRST_BYTE_WAIT_MS = 1000;

    // withControl false: the device opens the video connection only, and only it is made.
    ForwardAttempt(quint16 port, bool withControl, QObject* parent = nullptr);
    ~ForwardAttempt() override;

    void start();

    // After CONNECTED: the sockets pass to the caller, without a parent.
    VideoSocket* takeVideoSocket();
    QTcpSocket* takeControlSocket();
    QString deviceName() const { return m_deviceName; }
    QSize deviceSize() const { return m_deviceSize; }

signals:
    void finished(dvk::ForwardAttempt::Outcome outcome);

private:
    enum Stage {
        STAGE_IDLE,
        STAGE_VIDEO,
        STAGE_CONTROL,
        STAGE_FIRST_BYTE,
        STAGE_INFO,
        STAGE_DONE,
    };

    void onVideoConnected();
    void onControlConnected();
    void awaitFirstByte();
    void onVideoError();
    void onControlError();
    void onVideoBytes();
    void onDeadline();
    void takeFirstByte();
    void takeDeviceInfo();
    void waitFor(Stage stage, int timeoutMs);
    void finish(Outcome outcome);
    void retry();

    quint16 m_port;
    bool m_withControl = true;
    QPointer<VideoSocket> m_videoSocket;
    QPointer<QTcpSocket> m_controlSocket;
    QTimer m_deadline;
    Stage m_stage = STAGE_IDLE;
    QString m_deviceName;
    QSize m_deviceSize;
};

} // namespace dvk

#endif // FORWARDATTEMPT_H

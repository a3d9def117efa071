#pragma once

#include "ControlParser.h"
#include "ServerOptions.h"
#include "SimHome.h"
#include "TestPattern.h"
#include "VideoEncoder.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace sim {

// The device-side server stand-in: meets the application through the daemon's
// tunnels, sends the device information and a live H.264 stream of the test
// picture, and carries out and logs the control messages it receives.
class SimServer : public QObject
{
    Q_OBJECT
public:
    SimServer(const SimHome& home, const QString& device, QObject* parent = nullptr);
    ~SimServer() override;

    // Returns false (with the exit code to use) when the server cannot start.
    bool start(const QStringList& args, int& exitCode);

private:
    bool readOptions(const QStringList& args);
    bool refuse(const QString& error);
    QSize captureSize() const;
    void fitCrop(const QSize& screen);
    bool openEncoder();
    void reportUnusable();
    void connectReverse();
    void listenForward();
    void onForwardConnection();
    void onConnected();
    // The first keep bytes of the record only; all of it when keep is negative.
    void beginSession();
    void sendUnknownMessageOnce();
    void sendLongClipboardOnce();
    void sendDeviceInfo(int keep = -1);
    void startStreaming();
    void onFrameTick();
    bool applyFrameFaults();
    void writePacket(qint64 pts, const QByteArray& data);
    void onControlReadyRead();
    void handleControl(const QJsonObject& message);
    void sendDeviceMessage(const QByteArray& bytes);
    void sendClipboard(const QString& text);
    void onHousekeeping();
    void onSignal(int sig);

    void finish(int code, const QString& reason);
    void log(const QString& level, const QString& text);
    void serverEvent(const QString& event, QJsonObject fields = QJsonObject());
    void updateDevice(const std::function<void(QJsonObject&)>& change);
    QJsonValue fault(const QString& name) const;

    SimHome m_home;
    QString m_deviceSerial;
    QJsonObject m_device;
    ServerOptions m_options;
    QSize m_frameSize;
    int m_fps = 30;

    QPointer<QTcpSocket> m_video;
    QPointer<QTcpSocket> m_control;
    QPointer<QTcpSocket> m_registration;
    QPointer<QTcpServer> m_listener;

    VideoEncoder m_encoder;
    TestPattern m_pattern;
    ControlParser m_parser;
    QTimer m_frameTimer;
    QTimer m_housekeeping;
    QElapsedTimer m_clock;
    quint32 m_frames = 0;
    quint32 m_skipped = 0;
    quint32 m_controlCount = 0;
    bool m_streamStopped = false;
    bool m_unknownSent = false;
    bool m_longClipboardSent = false;
    bool m_finished = false;
    QString m_clipboard;
};

} // namespace sim

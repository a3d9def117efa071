#ifndef SHELLCONNECTION_H
#define SHELLCONNECTION_H

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QTimer>

#include "adb/AdbProcess.h"
#include "shell/ScreenCapture.h"
#include "shell/ScreenRecordStream.h"
#include "shell/ShellInput.h"

namespace dvk {


// A connection to a device that runs no server of ours: the picture comes from its screen
// recorder, input goes through its shell. Learns the device's facts, starts both, keeps the
// recorder running across its time limit and reports the outcome once.
class ShellConnection : public QObject
{
    Q_OBJECT
public:
    // Recorder ends without a single frame, within this window, that end the connection.
    static constexpr int kFailedEnds = 3;
    static constexpr int kFailedEndsWindowMs = 10000;
    static constexpr int kFirstPictureMs = 10000;
    static constexpr int kOrientationPollMs = 2000;

    ShellConnection(QString serial, quint32 bitRate, quint16 maxSize, QObject* parent = nullptr);
    ~ShellConnection() override;

    void start();
    void stop();
    ScreenRecordStream* stream() const { return m_stream; }
    ShellInput* input() const { return m_input; }

    // The size to ask the recorder for: the display within maxSize, its ratio kept, each side a
    // multiple of 8; invalid when no maximum applies.
    static QSize recordSize(const QSize& display, quint16 maxSize);
    // The display size "wm size" prints: the override size wins over the physical one.
    static QSize displaySize(const QString& wmSizeOutput);
    // The display size as the picture shows it: turned when one is landscape and the other not.
    static QSize mappedDisplay(const QSize& display, const QSize& picture);

    // The quarter turns "dumpsys input" reports (its SurfaceOrientation line); -1 without one.
    static int orientationFrom(const QString& dumpsysOutput);

    // A device whose server could not start is reached this way until it is unplugged.
    static void rememberFallback(const QString& serial);
    static bool fallsBack(const QString& serial);
    static void forgetAbsent(const QStringList& present);

signals:
    // The recorder's stream before it starts: connect to its packets now, directly.
    void streamCreated(dvk::ScreenRecordStream* stream);
    // The device's screen while the recorder has sent no picture yet (an unchanging screen).
    void stillPicture(const QImage& image);
    // Once per start: the device's model and the picture size, or a failure with its reason.
    void started(bool success, const QString& name, const QSize& size, const QString& reason);
    // After a successful start: the connection has ended; reason is empty when it was asked to.
    void stopped(const QString& reason);

private:
    void askFacts();
    void ask(const QStringList& shellArgs, void (ShellConnection::*take)(AdbProcess*));
    void takeModel(AdbProcess* process);
    void takeWmSize(AdbProcess* process);
    void takeInputUsage(AdbProcess* process);
    void takeLongPress(AdbProcess* process);
    void factArrived();
    void startMirroring();
    void onPictureSize(const QSize& size);
    void onFirstFrame();
    void onCaptured(const QImage& image);
    void onRecorderEnded();
    void onShellEnded();
    void askOrientation();
    void takeOrientation(const QString& output);
    QSize turnedDisplay() const;
    QStringList recordArguments() const;
    void fail(const QString& reason);

    const QString m_serial;
    const quint32 m_bitRate;
    const quint16 m_maxSize;
    QString m_adbPath;
    QString m_model;
    QSize m_display;
    bool m_liveDrags = false;
    int m_longPressMs = ShellInput::kDefaultLongPressMs;
    int m_factsPending = 0;
    QString m_factError;
    bool m_connected = false;
    bool m_ended = false;
    QList<qint64> m_emptyEnds;
    // -1 until the device has told it.
    int m_orientation = -1;
    // The recorder was stopped to be started again the new way round.
    bool m_turning = false;
    QTimer m_orientationTimer;
    QElapsedTimer m_clock;
    QTimer m_firstPictureTimer;
    QPointer<ScreenRecordStream> m_stream;
    QPointer<ShellInput> m_input;
    QPointer<ScreenCapture> m_capture;
};

} // namespace dvk

#endif // SHELLCONNECTION_H

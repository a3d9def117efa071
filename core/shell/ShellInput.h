#ifndef SHELLINPUT_H
#define SHELLINPUT_H

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QTimer>

#include <deque>
#include <functional>

class QProcess;

namespace dvk {

class ControlMsg;

// Drives a device through one long-lived "adb shell": each control message becomes the input or
// cmd command a user could type there. Lines go out in order, a few at a time, so that a slow
// device holds them here, where stale moves can still be dropped, and never on the GUI thread.
class ShellInput : public QObject
{
    Q_OBJECT
public:
    // What this channel cannot do; each is reported once per connection.
    enum Missing {
        MISSING_CLIPBOARD,
        MISSING_SCREEN_POWER,
        MISSING_SECOND_FINGER,
    };
    Q_ENUM(Missing)

    static constexpr int kMoveIntervalMs = 16;
    static constexpr int kQueueLimit = 64;
    // Commands written but not yet finished by the device's shell.
    static constexpr int kInFlight = 2;
    // Android's long-press time before version 12, when the device does not tell its own.
    static constexpr int kDefaultLongPressMs = 500;

    ShellInput(QString adbPath, QString serial, QObject* parent = nullptr);
    ~ShellInput() override;

    bool start();
    void setDisplaySize(const QSize& size) { m_display = size; }
    void setLiveDrags(bool live) { m_liveDrags = live; }
    void setLongPressMs(int ms) { m_longPressMs = ms; }

    void send(const ControlMsg& msg);
    // Runs a command in the device's shell after the input before it; answer gets what it printed.
    void ask(const QString& command, std::function<void(const QString&)> answer);

signals:
    void missing(dvk::ShellInput::Missing what);
    // Characters "input text" cannot type were left out of a text.
    void textDropped();
    // The shell ended: the device is gone or adb failed.
    void ended();

private:
    struct Line
    {
        QString text;
        bool move = false;
        std::function<void(const QString&)> answer;
    };
    // A line the device's shell has and has not finished yet, and what it printed so far.
    struct Running
    {
        std::function<void(const QString&)> answer;
        QString output;
    };

    void touch(const ControlMsg& msg);
    void touchDown(quint64 id, const QPoint& point);
    void touchMove(const QPoint& point);
    void touchUp(const QPoint& point);
    void sendPendingMove();
    void key(const ControlMsg& msg);
    void longPress(int keycode, quint64 press);
    void typeText(const QString& text);
    void reportMissing(Missing what);

    void queue(const QString& line, bool move = false, std::function<void(const QString&)> answer = nullptr);
    void finishRunning();
    void makeRoom();
    void writeLines();
    void onOutput();
    void onFinished();

    QPointer<QProcess> m_shell;
    const QString m_adbPath;
    const QString m_serial;
    QSize m_display;
    bool m_liveDrags = false;
    int m_longPressMs = kDefaultLongPressMs;

    std::deque<Line> m_queue;
    std::deque<Running> m_running;
    quint64 m_written = 0;
    bool m_overflowing = false;
    QByteArray m_outputLine;

    // The one finger followed: where it went down, where it is, and whether the device sees it live.
    bool m_fingerDown = false;
    quint64 m_fingerId = 0;
    QPoint m_downPoint;
    QPoint m_lastPoint;
    bool m_moved = false;
    bool m_live = false;
    QElapsedTimer m_downTime;
    QElapsedTimer m_lastMoveSent;
    bool m_movePending = false;
    QTimer m_moveTimer;

    // Keys held down: the press each one belongs to, so a long press is told from a later one.
    QHash<int, quint64> m_keysDown;
    QHash<int, bool> m_longPressed;
    quint64 m_pressCount = 0;
    QSet<int> m_reported;
    bool m_textDropReported = false;
};

} // namespace dvk

#endif // SHELLINPUT_H

#include "shell/ShellInput.h"

#include <QDebug>
#include <QProcess>

#include "controller/ControlMsg.h"
#include "shell/ShellCommands.h"

namespace dvk {

namespace {
// Written after every command: the shell prints it once the command has finished.
const QByteArray kDoneMark = QByteArrayLiteral(":dvk-done:");
constexpr int kStopMs = 1000;
// A device that prints without ending its lines must not grow this side without bound.
constexpr int kOutputLineMax = 64 * 1024;
} // namespace

ShellInput::ShellInput(QString adbPath, QString serial, QObject* parent)
    : QObject(parent), m_adbPath(std::move(adbPath)), m_serial(std::move(serial))
{
    qRegisterMetaType<dvk::ShellInput::Missing>("dvk::ShellInput::Missing");
    m_moveTimer.setSingleShot(true);
    connect(&m_moveTimer, &QTimer::timeout, this, &ShellInput::sendPendingMove);
}

ShellInput::~ShellInput()
{
    if (!m_shell) {
        return;
    }
    disconnect(m_shell, nullptr, this, nullptr);
    // Ending the local adb client closes the device's shell; nothing typed there is pending.
    m_shell->kill();
    m_shell->waitForFinished(kStopMs);
}

bool ShellInput::start()
{
    m_shell = new QProcess(this);
    // What was queued while adb was starting goes out once it runs.
    connect(m_shell, &QProcess::started, this, &ShellInput::writeLines);
    connect(m_shell, &QProcess::readyReadStandardOutput, this, &ShellInput::onOutput);
    connect(m_shell, &QProcess::readyReadStandardError, this, [this]() {
        const QString text = QString::fromUtf8(m_shell->readAllStandardError()).trimmed();
        if (!text.isEmpty()) {
            qWarning("%s", qUtf8Printable(QStringLiteral("device shell: %1").arg(text)));
        }
    });
    connect(m_shell, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, &ShellInput::onFinished);
    connect(m_shell, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            onFinished();
        }
    });
    QStringList args;
    if (!m_serial.isEmpty()) {
        args << "-s" << m_serial;
    }
    args << "shell";
    m_shell->start(m_adbPath, args);
    return true;
}

void ShellInput::send(const ControlMsg& msg)
{
    switch (msg.type()) {
    case ControlMsg::CONTROL_INJECT_TOUCH:
        touch(msg);
        return;
    case ControlMsg::CONTROL_INJECT_KEYCODE:
        key(msg);
        return;
    case ControlMsg::CONTROL_INJECT_TEXT:
        typeText(msg.text());
        return;
    case ControlMsg::CONTROL_INJECT_SCROLL:
        if (msg.scrollVertical() != 0) {
            queue(ShellCommands::roll(msg.scrollVertical()));
        }
        return;
    case ControlMsg::CONTROL_BACK_OR_SCREEN_ON:
        if (msg.backOrScreenOnDown()) {
            queue(ShellCommands::keyEvent(AKEYCODE_BACK, false));
        }
        return;
    case ControlMsg::CONTROL_EXPAND_NOTIFICATION_PANEL:
        queue(ShellCommands::expandNotifications());
        return;
    case ControlMsg::CONTROL_COLLAPSE_PANEL:
        queue(ShellCommands::collapsePanels());
        return;
    case ControlMsg::CONTROL_SET_CLIPBOARD:
        // Pasting is typing the text; keeping it on the device's clipboard is out of reach.
        if (msg.clipboardPaste()) {
            typeText(msg.text());
        } else {
            reportMissing(MISSING_CLIPBOARD);
        }
        return;
    case ControlMsg::CONTROL_GET_CLIPBOARD:
        reportMissing(MISSING_CLIPBOARD);
        return;
    case ControlMsg::CONTROL_SET_SCREEN_POWER_MODE:
        reportMissing(MISSING_SCREEN_POWER);
        return;
    default:
        return;
    }
}

void ShellInput::touch(const ControlMsg& msg)
{
    const QPoint point = ShellCommands::toDisplay(msg.touchPosition(), m_display);
    const quint64 id = msg.touchId();
    if (msg.touchAction() == AMOTION_EVENT_ACTION_DOWN) {
        // A touch on a black bar touches nothing on the device; one that moves onto a bar is held at its edge.
        if (ShellCommands::onContent(msg.touchPosition(), m_display)) {
            touchDown(id, point);
        }
        return;
    }
    if (!m_fingerDown || id != m_fingerId) {
        return;
    }
    if (msg.touchAction() == AMOTION_EVENT_ACTION_MOVE) {
        touchMove(point);
    } else if (msg.touchAction() == AMOTION_EVENT_ACTION_UP) {
        touchUp(point);
    }
}

void ShellInput::touchDown(quint64 id, const QPoint& point)
{
    if (m_fingerDown && id != m_fingerId) {
        reportMissing(MISSING_SECOND_FINGER);
        return;
    }
    m_fingerDown = true;
    m_fingerId = id;
    m_downPoint = m_lastPoint = point;
    m_moved = m_live = m_movePending = false;
    m_downTime.start();
}

void ShellInput::touchMove(const QPoint& point)
{
    if (point == m_lastPoint) {
        return;
    }
    m_lastPoint = point;
    m_moved = true;
    if (!m_liveDrags) {
        return;
    }
    if (!m_live) {
        // Until it moves, a touch may still be a tap; from here on the device follows it.
        m_live = true;
        queue(ShellCommands::motionEvent(QStringLiteral("DOWN"), m_downPoint));
    }
    m_movePending = true;
    if (!m_lastMoveSent.isValid() || m_lastMoveSent.elapsed() >= kMoveIntervalMs) {
        sendPendingMove();
    } else if (!m_moveTimer.isActive()) {
        m_moveTimer.start(int(kMoveIntervalMs - m_lastMoveSent.elapsed()));
    }
}

void ShellInput::sendPendingMove()
{
    if (!m_movePending || !m_fingerDown) {
        return;
    }
    m_movePending = false;
    m_lastMoveSent.start();
    queue(ShellCommands::motionEvent(QStringLiteral("MOVE"), m_lastPoint), true);
}

void ShellInput::touchUp(const QPoint& point)
{
    m_moveTimer.stop();
    touchMove(point);
    m_fingerDown = false;
    if (m_live) {
        m_movePending = false;
        queue(ShellCommands::motionEvent(QStringLiteral("UP"), m_lastPoint));
    } else if (m_moved) {
        queue(ShellCommands::swipe(m_downPoint, m_lastPoint, m_downTime.elapsed()));
    } else {
        queue(ShellCommands::tap(m_downPoint));
    }
}

// A key goes out when it is released, or as a long press once it has been held that long:
// which of the two it is cannot be known when it goes down.
void ShellInput::key(const ControlMsg& msg)
{
    const int code = msg.keycode();
    if (msg.keyAction() == AKEY_EVENT_ACTION_DOWN) {
        if (msg.keyRepeat() > 0 || m_keysDown.contains(code)) {
            return;
        }
        const quint64 press = ++m_pressCount;
        m_keysDown.insert(code, press);
        QTimer::singleShot(m_longPressMs, this, [this, code, press]() { longPress(code, press); });
        return;
    }
    if (!m_keysDown.contains(code)) {
        return;
    }
    m_keysDown.remove(code);
    if (!m_longPressed.take(code)) {
        queue(ShellCommands::keyEvent(code, false));
    }
}

void ShellInput::longPress(int keycode, quint64 press)
{
    if (m_keysDown.value(keycode) != press) {
        return;
    }
    m_longPressed.insert(keycode, true);
    queue(ShellCommands::keyEvent(keycode, true));
}

void ShellInput::typeText(const QString& text)
{
    bool dropped = false;
    const QString line = ShellCommands::text(text, &dropped);
    if (dropped && !m_textDropReported) {
        m_textDropReported = true;
        qWarning("The device's input command types only printable ASCII; other characters were left out");
        emit textDropped();
    }
    if (!line.isEmpty()) {
        queue(line);
    }
}

void ShellInput::reportMissing(Missing what)
{
    if (m_reported.contains(what)) {
        return;
    }
    m_reported.insert(what);
    static const char* const names[] = {"the clipboard", "turning the screen off", "a second finger"};
    qWarning("Not available without the server on the device: %s", names[what]);
    emit missing(what);
}

void ShellInput::ask(const QString& command, std::function<void(const QString&)> answer)
{
    queue(command, false, std::move(answer));
}

void ShellInput::queue(const QString& line, bool move, std::function<void(const QString&)> answer)
{
    if (int(m_queue.size()) >= kQueueLimit) {
        makeRoom();
    }
    m_queue.push_back({line, move, std::move(answer)});
    writeLines();
}

void ShellInput::makeRoom()
{
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (it->move) {
            m_queue.erase(it);
            break;
        }
    }
    if (!m_overflowing) {
        m_overflowing = true;
        qWarning("Device shell is behind: %d commands waiting, dropping the oldest moves", int(m_queue.size()));
    }
}

void ShellInput::writeLines()
{
    if (!m_shell || m_shell->state() != QProcess::Running) {
        return;
    }
    while (int(m_running.size()) < kInFlight && !m_queue.empty()) {
        const Line line = m_queue.front();
        m_queue.pop_front();
        m_running.push_back({line.answer, QString()});
        ++m_written;
        m_shell->write(line.text.toUtf8() + "\necho " + kDoneMark + QByteArray::number(m_written) + "\n");
    }
    if (m_queue.empty()) {
        m_overflowing = false;
    }
}

void ShellInput::onOutput()
{
    m_outputLine += m_shell->readAllStandardOutput();
    int end;
    while ((end = m_outputLine.indexOf('\n')) >= 0) {
        const QByteArray line = m_outputLine.left(end).trimmed();
        m_outputLine.remove(0, end + 1);
        if (line.startsWith(kDoneMark)) {
            finishRunning();
        } else if (!m_running.empty() && m_running.front().answer) {
            // The shell runs one line after the other: what it prints belongs to the oldest one.
            m_running.front().output += QString::fromUtf8(line) + QLatin1Char('\n');
        } else if (!line.isEmpty()) {
            qInfo("%s", qUtf8Printable(QStringLiteral("device shell: %1").arg(QString::fromUtf8(line))));
        }
    }
    if (m_outputLine.size() > kOutputLineMax) {
        m_outputLine.clear();
    }
    writeLines();
}

void ShellInput::finishRunning()
{
    if (m_running.empty()) {
        return;
    }
    const Running done = m_running.front();
    m_running.pop_front();
    if (done.answer) {
        done.answer(done.output);
    }
}

void ShellInput::onFinished()
{
    if (!m_shell) {
        return;
    }
    const QString why = m_shell->error() == QProcess::FailedToStart
        ? m_shell->errorString()
        : QStringLiteral("exit code %1").arg(m_shell->exitCode());
    qWarning("%s", qUtf8Printable(QStringLiteral("device shell ended: %1").arg(why)));
    m_shell->deleteLater();
    m_shell = nullptr;
    emit ended();
}

} // namespace dvk

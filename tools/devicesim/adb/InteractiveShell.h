#pragma once

#include <QByteArray>

namespace sim {

class DeviceShell;

// "adb shell" without a command: runs each line of standard input as soon as
// it arrives, against the device's state of that moment, until the input
// ends, a stop signal comes or the device goes away.
class InteractiveShell
{
public:
    explicit InteractiveShell(DeviceShell& shell);

    int run();

private:
    enum class Next { Line, End, Stopped };

    Next nextLine(QByteArray& line);
    bool waitForInput();
    // False when the shell ends with this line (exit code in code).
    bool runLine(const QByteArray& line, int& code);

    DeviceShell& m_shell;
    QByteArray m_pending;
    bool m_inputEnded = false;
};

} // namespace sim

#include "InteractiveShell.h"

#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

#include "Console.h"
#include "DeviceShell.h"

namespace sim {

namespace {

volatile sig_atomic_t s_stopSignal = 0;

void onStopSignal(int sig)
{
    s_stopSignal = sig;
}

const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// No SA_RESTART: a stop cuts the wait for input short, so that the shell ends
// with an exit code and its invocation is logged.
void installStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : kStopSignals) {
        sigaction(sig, &action, nullptr);
    }
}

} // namespace

InteractiveShell::InteractiveShell(DeviceShell& shell) : m_shell(shell) {}

int InteractiveShell::run()
{
    installStopSignals();
    QByteArray line;
    int code = 0;
    for (;;) {
        const Next next = nextLine(line);
        if (next == Next::Stopped) {
            return 128 + s_stopSignal;
        }
        if (next == Next::End) {
            return 0;
        }
        if (!runLine(line, code)) {
            return code;
        }
    }
}

InteractiveShell::Next InteractiveShell::nextLine(QByteArray& line)
{
    for (;;) {
        const int newline = m_pending.indexOf('\n');
        if (newline >= 0) {
            line = m_pending.left(newline);
            m_pending.remove(0, newline + 1);
            return Next::Line;
        }
        if (m_inputEnded) {
            // A last line without its newline still runs.
            line = m_pending;
            m_pending.clear();
            return line.isEmpty() ? Next::End : Next::Line;
        }
        if (!waitForInput()) {
            return Next::Stopped;
        }
    }
}

// Reads what is there, without waiting for more than one byte: a line runs the
// moment it is complete.
bool InteractiveShell::waitForInput()
{
    sigset_t stops;
    sigset_t before;
    sigemptyset(&stops);
    for (int sig : kStopSignals) {
        sigaddset(&stops, sig);
    }
    sigprocmask(SIG_BLOCK, &stops, &before);
    struct pollfd input = {STDIN_FILENO, POLLIN, 0};
    const int ready = s_stopSignal ? -1 : ppoll(&input, 1, nullptr, &before);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (s_stopSignal) {
        return false;
    }
    if (ready < 0) {
        m_inputEnded = errno != EINTR;
        return true;
    }
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
    if (n > 0) {
        m_pending.append(buffer, static_cast<int>(n));
    } else if (n == 0 || errno != EINTR) {
        m_inputEnded = true;
    }
    return true;
}

bool InteractiveShell::runLine(const QByteArray& bytes, int& code)
{
    const QString line = QString::fromUtf8(bytes).trimmed();
    if (line.isEmpty()) {
        return true;
    }
    if (!m_shell.reload()) {
        code = Console::fail("error: device offline");
        return false;
    }
    const QStringList words = DeviceShell::splitWords(line);
    if (words.value(0) == "exit") {
        code = words.size() > 1 ? words.at(1).toInt() : 0;
        return false;
    }
    m_shell.runLine(line);
    fflush(stdout);
    fflush(stderr);
    return true;
}

} // namespace sim

#include "SignalWatcher.h"

#include <QPointer>
#include <QSocketNotifier>

#include <csignal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

QPointer<SignalWatcher> s_watcher;

#ifdef Q_OS_WIN

// Runs on a thread of its own that the console starts; posting a queued call is safe there.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    const int signalNumber = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    QMetaObject::invokeMethod(s_watcher.data(), "received", Qt::QueuedConnection, Q_ARG(int, signalNumber));
    return TRUE;
}

#else

// [0] written by the handler, [1] read by the notifier.
int s_pipe[2] = {-1, -1};
struct sigaction s_previous[2];
const int kSignals[2] = {SIGINT, SIGTERM};

void onSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    // write() is async-signal-safe; a full pipe already holds a pending notice.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[0], &byte, 1);
}

#endif

} // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent)
{
    s_watcher = this;
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_pipe) != 0) {
        qWarning("Could not watch for signals");
        return;
    }
    m_notifier = new QSocketNotifier(s_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::onReadable);
    for (int i = 0; i < 2; ++i) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(kSignals[i], &action, &s_previous[i]);
    }
#endif
}

SignalWatcher::~SignalWatcher()
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
#else
    if (!m_notifier) {
        return;
    }
    for (int i = 0; i < 2; ++i) {
        sigaction(kSignals[i], &s_previous[i], nullptr);
    }
    delete m_notifier;
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
#endif
}

void SignalWatcher::onReadable()
{
#ifndef Q_OS_WIN
    char byte = 0;
    if (::read(s_pipe[1], &byte, 1) == 1) {
        qInfo("Signal %d received", int(byte));
        emit received(int(byte));
    }
#endif
}

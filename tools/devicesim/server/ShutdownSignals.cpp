#include "ShutdownSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <unistd.h>

namespace sim {

namespace {

int s_pipe[2] = {-1, -1};

void onUnixSignal(int sig)
{
    const char byte = static_cast<char>(sig);
    if (write(s_pipe[1], &byte, 1) < 0) {
        // Nothing to do: the notifier is gone.
    }
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {}

bool ShutdownSignals::install()
{
    signal(SIGPIPE, SIG_IGN);
    if (m_notifier || pipe(s_pipe) != 0) {
        return m_notifier != nullptr;
    }
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::onReadable);
    struct sigaction action = {};
    action.sa_handler = onUnixSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &action, nullptr);
    }
    return true;
}

void ShutdownSignals::onReadable()
{
    char sig = 0;
    if (read(s_pipe[0], &sig, 1) == 1) {
        emit received(sig);
    }
}

} // namespace sim

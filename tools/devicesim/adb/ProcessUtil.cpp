#include "ProcessUtil.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace sim {

namespace {

const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile pid_t s_child = 0;
volatile sig_atomic_t s_missed = 0;

void forwardSignal(int sig)
{
    if (s_child > 0) {
        ::kill(s_child, sig);
    } else {
        s_missed = sig;
    }
}

std::vector<QByteArray> toBytes(const QStringList& argv)
{
    std::vector<QByteArray> bytes;
    for (const QString& arg : argv) {
        bytes.push_back(arg.toLocal8Bit());
    }
    return bytes;
}

[[noreturn]] void execChild(const QByteArray& path, std::vector<QByteArray>& args, const QHash<QString, QString>& env,
                            pid_t parent, const sigset_t& mask)
{
    // The child goes when its parent goes, even when the parent is killed.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
        _exit(1);
    }
    for (int sig : kStopSignals) {
        signal(sig, SIG_DFL);
    }
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    for (auto it = env.constBegin(); it != env.constEnd(); ++it) {
        setenv(it.key().toLocal8Bit().constData(), it.value().toLocal8Bit().constData(), 1);
    }
    std::vector<char*> cargv;
    for (QByteArray& arg : args) {
        cargv.push_back(arg.data());
    }
    cargv.push_back(nullptr);
    execv(path.constData(), cargv.data());
    _exit(127);
}

int waitForChild(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return 1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

bool isSimulatorProcess(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray statLine = stat.readAll();
    const int close = statLine.lastIndexOf(')');
    if (close < 0 || statLine.mid(close + 2, 1) == "Z") {
        return false;
    }
    QFile cmdline(QString("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray program = cmdline.readAll().split('\0').value(0);
    return program.endsWith("/adb") || program == "adb" || program.endsWith("dravik-sim-server");
}

void terminateProcess(qint64 pid, bool force)
{
    ::kill(static_cast<pid_t>(pid), force ? SIGKILL : SIGTERM);
}

int runAttached(const QString& binary, const QStringList& argv, const QHash<QString, QString>& env)
{
    fflush(stdout);
    fflush(stderr);
    std::vector<QByteArray> args = toBytes(argv);
    const QByteArray path = binary.toLocal8Bit();
    // Stop signals wait until the child is known, so none is lost in between.
    sigset_t stops;
    sigset_t before;
    sigemptyset(&stops);
    for (int sig : kStopSignals) {
        sigaddset(&stops, sig);
    }
    sigprocmask(SIG_BLOCK, &stops, &before);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        execChild(path, args, env, parent, before);
    }
    if (child < 0) {
        sigprocmask(SIG_SETMASK, &before, nullptr);
        fprintf(stderr, "fork failed\n");
        return 1;
    }
    s_child = child;
    s_missed = 0;
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction saved[3];
    for (int i = 0; i < 3; ++i) {
        sigaction(kStopSignals[i], &action, &saved[i]);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    const int code = waitForChild(child);
    s_child = 0;
    for (int i = 0; i < 3; ++i) {
        sigaction(kStopSignals[i], &saved[i], nullptr);
    }
    // A stop that came after the child ended is this process's own.
    if (s_missed) {
        raise(s_missed);
    }
    return code;
}

} // namespace sim

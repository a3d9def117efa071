#ifndef GROUPPROCESS_H
#define GROUPPROCESS_H

#include <QProcess>

#include <csignal>
#include <unistd.h>

// A program under test, started in a process group of its own so that the test can end it with
// everything it started. A copy of it killed between fork and exec would otherwise wait for good
// for a parent that is gone, holding the test runner's output open.
class GroupProcess : public QProcess
{
public:
    explicit GroupProcess(QObject* parent = nullptr) : QProcess(parent)
    {
        connect(this, &QProcess::started, this, [this]() { m_group = processId(); });
    }

    ~GroupProcess() override { killGroup(); }

    // Ends whatever is left of the group, the program included.
    void killGroup()
    {
        if (state() != NotRunning) {
            kill();
            waitForFinished(5000);
        }
        if (m_group > 0) {
            ::kill(-pid_t(m_group), SIGKILL);
        }
    }

protected:
    void setupChildProcess() override { ::setpgid(0, 0); }

private:
    qint64 m_group = 0;
};

#endif // GROUPPROCESS_H

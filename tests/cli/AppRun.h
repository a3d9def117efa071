#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

#include "GroupProcess.h"
#include "SimDevice.h"

// The real program, copied into a folder of its own beside the simulator's server file (as
// an installation places them), with its own data directory, run against a SimDevice.
class AppRun
{
public:
    explicit AppRun(const SimDevice& sim) : m_env(sim.environment())
    {
        const QString bin = m_dir.filePath("bin");
        QDir().mkpath(bin);
        m_program = bin + "/vadizede";
        // A hard link where possible: cheap, and the program still finds its files beside itself.
        if (::link(VADIZEDE_BINARY_DIR "/app/vadizede", qPrintable(m_program)) != 0) {
            QFile::copy(VADIZEDE_BINARY_DIR "/app/vadizede", m_program);
        }
        QFile::link(SimDevice::serverFilePath(), bin + "/dravik-server");
        m_env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        m_process.setProcessEnvironment(m_env);
        m_process.setWorkingDirectory(m_dir.path());
    }


    // Changes the program's environment for the runs that follow; an empty value removes the variable.
    void setEnvironment(const QString& name, const QString& value)
    {
        if (value.isEmpty()) {
            m_env.remove(name);
        } else {
            m_env.insert(name, value);
        }
        m_process.setProcessEnvironment(m_env);
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString logText() const { return readAll(m_dir.filePath("data/VuvodiZidevi/appdebug.log")); }
    QProcess& process() { return m_process; }

    void start(const QStringList& args)
    {
        m_process.start(m_program, args);
        QVERIFY2(m_process.waitForStarted(10000), qPrintable(m_process.errorString()));
    }

    // Runs to the end; false when it did not end in time.
    bool run(const QStringList& args, int timeoutMs = 15000)
    {
        start(args);
        return finish(timeoutMs);
    }

    bool finish(int timeoutMs)
    {
        return m_process.waitForFinished(timeoutMs);
    }

    void signal(int signalNumber) { ::kill(pid_t(m_process.processId()), signalNumber); }

    int exitCode() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }
    QString out() { return m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput()); }
    QString err() { return m_err += QString::fromLocal8Bit(m_process.readAllStandardError()); }

    // Waits, processing events, until the log holds the text.
    bool waitForLog(const QString& text, int timeoutMs = 15000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (!logText().contains(text)) {
            if (timer.elapsed() > timeoutMs) {
                return false;
            }
            QTest::qWait(50);
        }
        return true;
    }

    static QString readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QString m_program;
    GroupProcess m_process;
    QString m_out;
    QString m_err;
};

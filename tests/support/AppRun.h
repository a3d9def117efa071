#ifndef APPRUN_H
#define APPRUN_H

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include "GroupProcess.h"

class SimDevice;

// The real vadizede program, copied into a folder of its own beside the simulator's server file
// (as an installation places them), with its own data directory, run against a SimDevice.
// Command-line runs are judged by exit code, output and log; window runs are driven with
// xdotool under the current X display and seen with screenshots.
class AppRun
{
public:
    explicit AppRun(const SimDevice& sim, const QString& language = "en_US");
    ~AppRun();
    AppRun(const AppRun&) = delete;
    AppRun& operator=(const AppRun&) = delete;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Changes the program's environment for the runs that follow; an empty value removes the variable.
    void setEnvironment(const QString& name, const QString& value)
    {
        QProcessEnvironment env = m_process.processEnvironment();
        if (value.isEmpty()) {
            env.remove(name);
        } else {
            env.insert(name, value);
        }
        m_process.setProcessEnvironment(env);
    }
    QString dataDir() const;
    QString appLog() const;
    QString logText() const { return appLog(); }
    QProcess& process() { return m_process; }
    QString pid() const { return QString::number(m_process.processId()); }

    // ---- command-line runs ----
    void start(const QStringList& args);
    // Runs to the end; false when it did not end in time.
    bool run(const QStringList& args, int timeoutMs = 15000);
    bool finish(int timeoutMs);
    void signal(int signalNumber);
    int exitCode() const;
    QString out();
    QString err();
    // Waits, processing events, until the log holds the text.
    bool waitForLog(const QString& text, int timeoutMs = 15000) const;

    // ---- window runs ----
    // Starts without options, with the shipped config.ini pointed at the simulator, and waits for the main window.
    bool start();
    void stop();
    // The main window, once it is mapped.
    QString window() const { return m_window; }
    QRect geometry() const;
    static QRect geometryOf(const QString& windowId);
    // How many of the program's windows are mapped (the main window, dialogs, the notice).
    int visibleWindows() const;
    bool waitForVisibleWindows(int count, int timeoutMs = 10000) const;
    void click(const QPoint& inWindow, int button = 1) const;
    void moveTo(const QPoint& inWindow) const;
    void key(const QString& keys) const;
    QImage grab() const;
    bool saveScreenshot(const QString& path, const QString& windowId = QString()) const;

    // Runs a helper program (xdotool, import) to its end and returns its output; empty when it hung.
    static QString tool(const QString& program, const QStringList& args, int timeoutMs = 10000);
    static QString readAll(const QString& path);

private:
    bool placeProgram();
    bool writeConfig();

    QTemporaryDir m_dir;
    QString m_program;
    GroupProcess m_process;
    QString m_window;
    QString m_out;
    QString m_err;
};

// Waits, keeping the event loop running, until the condition holds.
bool waitFor(const std::function<bool()>& condition, int timeoutMs);

// The adb argument lists the program ran, in order.
QList<QStringList> adbCalls(const SimDevice& sim);
int countCalls(const SimDevice& sim, const QStringList& args);

#endif // APPRUN_H

#ifndef APPRUN_H
#define APPRUN_H

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include "GroupProcess.h"

class SimDevice;

// The real vadizede program, started against a simulated device under the current X display,
// with a data directory of its own. It is driven with xdotool and seen with screenshots.
class AppRun
{
public:
    explicit AppRun(const SimDevice& sim, const QString& language = "en_US");
    ~AppRun();
    AppRun(const AppRun&) = delete;
    AppRun& operator=(const AppRun&) = delete;

    bool start();
    void stop();
    QString dataDir() const;
    QString appLog() const;

    // The main window, once it is mapped.
    QString window() const { return m_window; }
    QString pid() const { return QString::number(m_process.processId()); }
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

    static QString run(const QString& program, const QStringList& args, int timeoutMs = 10000);

private:
    const SimDevice& m_sim;
    QString m_language;
    QTemporaryDir m_dir;
    GroupProcess m_process;
    QString m_window;
};

// Waits, keeping the event loop running, until the condition holds.
bool waitFor(const std::function<bool()>& condition, int timeoutMs);

// The adb argument lists the program ran, in order.
QList<QStringList> adbCalls(const SimDevice& sim);
int countCalls(const SimDevice& sim, const QStringList& args);

#endif // APPRUN_H

#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "AppRun.h"
#include "TestWait.h"
#include "X11Windows.h"

// Looking at and driving the program's windows from outside, as a user would.
namespace WindowTools {

// The program's main window once it is mapped; 0 after 20 s without.
inline Window waitForWindow(const X11Windows& x11, AppRun& app)
{
    QDeadlineTimer deadline(TestWait::scaled(20000));
    Window window = 0;
    while (!(window = x11.findByPid(app.process().processId())) && !deadline.hasExpired()) {
        QTest::qWait(50);
    }
    return window;
}

// The window's title once it matches, or the last one seen after 20 s.
inline QString waitForTitle(const X11Windows& x11, Window window, const QRegularExpression& pattern)
{
    QDeadlineTimer deadline(TestWait::scaled(20000));
    QString title = x11.title(window);
    while (!pattern.match(title).hasMatch() && !deadline.hasExpired()) {
        QTest::qWait(100);
        title = x11.title(window);
    }
    return title;
}

inline bool xdotool(const QStringList& args)
{
    QProcess process;
    process.start("xdotool", args);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A window manager on the test's display for as long as it lives: stacking, frames and full
// screen are its to apply.
class WindowManager
{
public:
    WindowManager() { m_process.start("openbox", {"--sm-disable"}); }
    ~WindowManager()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    // False when openbox is missing or did not take the display in time.
    bool waitUntilRunning(const X11Windows& x11)
    {
        if (!m_process.waitForStarted(5000)) {
            return false;
        }
        QDeadlineTimer deadline(TestWait::scaled(10000));
        while (!x11.hasWindowManager() && !deadline.hasExpired()) {
            QTest::qWait(50);
        }
        return x11.hasWindowManager();
    }

private:
    QProcess m_process;
};

} // namespace WindowTools

#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "AppRun.h"
#include "X11Windows.h"

// Looking at and driving the program's windows from outside, as a user would.
namespace WindowTools {

// The program's main window once it is mapped; 0 after 20 s without.
inline Window waitForWindow(const X11Windows& x11, AppRun& app)
{
    Window window = 0;
    waitFor([&]() { return (window = x11.findByPid(app.process().processId())) != 0; }, 20000);
    return window;
}

// The window's title once it matches, or the last one seen after 20 s.
inline QString waitForTitle(const X11Windows& x11, Window window, const QRegularExpression& pattern)
{
    QString title;
    waitFor([&]() { return pattern.match(title = x11.title(window)).hasMatch(); }, 20000);
    return title;
}

// Asks the program's window to close until the program has ended; false when it still runs after
// 20 s. The connection notice is modal for its two seconds, and a close meanwhile is not taken.
inline bool closeUntilEnded(const X11Windows& x11, AppRun& app)
{
    waitFor(
        [&]() {
            // Looked up each time: the window may have been replaced since.
            x11.requestClose(x11.findByPid(app.process().processId()));
            return app.finish(500);
        },
        20000);
    return app.process().state() == QProcess::NotRunning;
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
        return waitFor([&x11]() { return x11.hasWindowManager(); }, 10000);
    }

private:
    QProcess m_process;
};

} // namespace WindowTools

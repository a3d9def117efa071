#include <QRegularExpression>
#include <QtTest>

#include "AppRun.h"
#include "MediaProbe.h"
#include "SimDevice.h"
#include "SimLogs.h"
#include "WindowTools.h"
#include "X11Windows.h"

using SimLogs::lastServerEvent;
using WindowTools::closeUntilEnded;
using WindowTools::waitForTitle;
using WindowTools::waitForWindow;
using WindowTools::xdotool;

// The window options with the real program under the test's own X display: where the window
// goes, what a view-only or cropped window sends, and what closing it or a time limit does.
class TestCliWindowOptions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void placementUnderAWindowManager();
    void viewOnlySendsNothingAndSaysSo();
    void cropShowsAndTouchesTheCroppedArea();
    void powerOffOnCloseTurnsTheScreenOffBeforeTheEnd();
    void timeLimitEndsTheRecordingWhileTheMirrorGoesOn();

private:
    // Waits until the main window is the program's only one: the connection notice has gone.
    static bool waitForNoticeGone(const X11Windows& x11, AppRun& app);
    static void clickIntoPicture(const X11Windows& x11, AppRun& app);
};

void TestCliWindowOptions::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display (the suite runs under xvfb-run)");
    }
}

bool TestCliWindowOptions::waitForNoticeGone(const X11Windows& x11, AppRun& app)
{
    return waitFor([&]() { return x11.countByPid(app.process().processId()) == 1; }, 20000);
}

void TestCliWindowOptions::clickIntoPicture(const X11Windows& x11, AppRun& app)
{
    // Looked up each time: the window may have been replaced since.
    const Window window = x11.findByPid(app.process().processId());
    const QRect geometry = x11.geometry(window);
    xdotool({"mousemove", "--window", QString::number(window), QString::number(geometry.width() / 3),
             QString::number(geometry.height() / 2)});
    xdotool({"click", "1"});
}

void TestCliWindowOptions::placementUnderAWindowManager()
{
    X11Windows x11;
    WindowTools::WindowManager windowManager;
    QVERIFY2(windowManager.waitUntilRunning(x11), "openbox is missing (tools/deps.sh installs it)");
    // Placement needs no device.
    SimDevice sim(false);

    AppRun placed(sim);
    placed.start({"--window-x", "120", "--window-y", "90", "--window-width", "700", "--window-height", "480",
                  "--always-on-top"});
    Window window = waitForWindow(x11, placed);
    QVERIFY(window);
    QTRY_COMPARE_WITH_TIMEOUT(x11.geometry(window).size(), QSize(700, 480), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(x11.frameExtents(window).size(), 4, 10000);
    const QList<int> frame = x11.frameExtents(window);
    QVERIFY2(frame.at(2) > 0, "the window manager drew no title bar");
    // The position is the frame's, as for any window the user places.
    QCOMPARE(x11.rootPosition(window) - QPoint(frame.at(0), frame.at(2)), QPoint(120, 90));
    QVERIFY(x11.hasState(window, "_NET_WM_STATE_ABOVE"));

    AppRun borderless(sim);
    borderless.start({"--window-borderless", "--window-x", "50", "--window-y", "60"});
    window = waitForWindow(x11, borderless);
    QVERIFY(window);
    QTRY_COMPARE_WITH_TIMEOUT(x11.frameExtents(window).size(), 4, 10000);
    QCOMPARE(x11.frameExtents(window), (QList<int>{0, 0, 0, 0}));
    QCOMPARE(x11.rootPosition(window), QPoint(50, 60));
    QVERIFY(!x11.hasState(window, "_NET_WM_STATE_ABOVE"));
}

void TestCliWindowOptions::viewOnlySendsNothingAndSaysSo()
{
    SimDevice sim;
    AppRun app(sim);
    app.start({"--no-control"});
    X11Windows x11;
    const Window window = waitForWindow(x11, app);
    QVERIFY(window);
    const QString title = waitForTitle(x11, window, QRegularExpression(QString::fromUtf8("^VaDizede — Sim Device — SIM0001 — \\d+ fps — view only$")));
    QVERIFY2(title.endsWith("view only") && title.contains("fps"), qPrintable(title));
    QCOMPARE(lastServerEvent(sim, "connected").value("control").toBool(true), false);

    // Clicks, a key and a shortcut once the connection notice has gone; the program has handled
    // them when it takes the close that follows them.
    QVERIFY(waitForNoticeGone(x11, app));
    for (int round = 0; round < 3; ++round) {
        clickIntoPicture(x11, app);
        xdotool({"key", "a", "ctrl+h"});
    }
    QVERIFY(closeUntilEnded(x11, app));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    QCOMPARE(lastServerEvent(sim, "exit").value("controlMessages").toInt(), 0);
    QVERIFY(sim.controlLog().isEmpty());
}

void TestCliWindowOptions::cropShowsAndTouchesTheCroppedArea()
{
    SimDevice sim;
    AppRun app(sim);
    app.start({"--crop", "1080:1080:0:600"});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QCOMPARE(lastServerEvent(sim, "connected").value("width").toInt(), 320);
    QCOMPARE(lastServerEvent(sim, "connected").value("height").toInt(), 320);
    X11Windows x11;
    QVERIFY(waitForWindow(x11, app));
    waitFor(
        [&]() {
            clickIntoPicture(x11, app);
            return sim.waitForControlLog(1, 1500);
        },
        20000);
    QVERIFY(!sim.controlLog().isEmpty());

    // A position in the cropped picture, for the cropped picture's size, which the device takes.
    const QJsonObject touch = sim.controlLog().first();
    QCOMPARE(touch.value("name").toString(), QString("INJECT_TOUCH"));
    QCOMPARE(touch.value("screenWidth").toInt(), 320);
    QCOMPARE(touch.value("screenHeight").toInt(), 320);
    QVERIFY2(!touch.value("ignored").toBool(), "the device ignored the touch");
    QVERIFY2(qAbs(touch.value("y").toInt() - 160) <= 8, qPrintable(QString::number(touch.value("y").toInt())));
    QVERIFY(touch.value("x").toInt() >= 0 && touch.value("x").toInt() < 320);
}

void TestCliWindowOptions::powerOffOnCloseTurnsTheScreenOffBeforeTheEnd()
{
    SimDevice sim;
    AppRun app(sim);
    app.start({"--power-off-on-close"});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    X11Windows x11;
    const Window window = waitForWindow(x11, app);
    QVERIFY(window);
    // The device's server may be up before the program has taken the connection; the title
    // names the device only once it has, and only then does closing owe the device its key.
    const QString title = waitForTitle(x11, window, QRegularExpression(QRegularExpression::escape(sim.serial())));
    QVERIFY2(title.contains(sim.serial()), qPrintable(title));
    QVERIFY(closeUntilEnded(x11, app));
    QCOMPARE(app.exitCode(), 0);
    QVERIFY(sim.waitForServerEvent("exit", 10000));

    const qint64 keyAt = SimLogs::inputKeyAt(sim, "223");
    QVERIFY2(keyAt > 0, "the sleep key did not reach the device");
    // While the device was still connected.
    QVERIFY(keyAt <= qint64(lastServerEvent(sim, "exit").value("t").toDouble()));
}

void TestCliWindowOptions::timeLimitEndsTheRecordingWhileTheMirrorGoesOn()
{
    SimDevice sim;
    AppRun app(sim);
    const QString record = app.path("limited.mkv");
    app.start({"--record", record, "--time-limit", "2"});
    X11Windows x11;
    QVERIFY(waitForWindow(x11, app));
    QVERIFY(app.waitForLog("recording time limit of 2 s reached", 30000));
    QVERIFY(app.waitForLog("success record " + record));
    const qint64 size = QFileInfo(record).size();
    QVERIFY(probeVideoStream(record).value("nb_read_frames").toString().toInt() > 10);

    // The picture keeps coming and the file stays as it was.
    QVERIFY(lastServerEvent(sim, "exit").isEmpty());
    QVERIFY(closeUntilEnded(x11, app));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(QFileInfo(record).size(), size);
    QCOMPARE(app.logText().count("success record " + record), 1);
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    const int sent = lastServerEvent(sim, "exit").value("frames").toInt();
    const int written = probeVideoStream(record).value("nb_read_frames").toString().toInt();
    QVERIFY2(sent > written, qPrintable(QString("%1 sent, %2 written").arg(sent).arg(written)));
}

QTEST_GUILESS_MAIN(TestCliWindowOptions)
#include "tst_cli_window_options.moc"

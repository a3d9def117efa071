#include <algorithm>

#include <QRegularExpression>
#include <QtTest>

#include <csignal>

#include "AppRun.h"
#include "MediaProbe.h"
#include "SimDevice.h"
#include "SimLogs.h"
#include "WindowTools.h"
#include "X11Windows.h"

using WindowTools::closeUntilEnded;
using WindowTools::waitForTitle;
using WindowTools::waitForWindow;
using WindowTools::xdotool;

// The options that concern the window, with the real program under the test's X display.
class TestCliWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void serialConnectsOnlyTheNamedDevice();
    void titleShowsTheDeviceAndItsFrameRate();
    void recordingIsFinishedWhenTheWindowCloses();
    void fullscreenFillsTheScreen();
    void keymapGivesTwoFingersAtOnce();
};

void TestCliWindow::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display (the suite runs under xvfb-run)");
    }
}

void TestCliWindow::serialConnectsOnlyTheNamedDevice()
{
    SimDevice sim;
    SimDevice::Options second;
    second.serial = "SIM0002";
    QVERIFY(sim.addDevice(second));
    AppRun app(sim);
    app.start({"--serial", "SIM0002"});
    QVERIFY(sim.waitForServerEvent("connected", 20000, "SIM0002"));
    X11Windows x11;
    const Window window = waitForWindow(x11, app);
    QVERIFY(window);
    const QString title = waitForTitle(x11, window, QRegularExpression("SIM0002"));
    // The device's model, as it names itself, then its serial.
    QVERIFY2(title.startsWith(QString::fromUtf8("VaDizede — Sim Device — SIM0002")), qPrintable(title));
    // The other device is listed by every poll but never used.
    for (const QJsonObject& call : sim.invocations()) {
        QVERIFY2(!call.value("argv").toVariant().toStringList().contains("SIM0001"), "SIM0001 was used");
    }
    QVERIFY(sim.serverLog("SIM0001").isEmpty());
}

void TestCliWindow::titleShowsTheDeviceAndItsFrameRate()
{
    SimDevice sim;
    AppRun app(sim);
    app.start({"--max-fps", "20", "--window-title", "Phone A"});
    X11Windows x11;
    const Window window = waitForWindow(x11, app);
    QVERIFY(window);
    const QRegularExpression withRate(QString::fromUtf8("^Phone A — Sim Device — SIM0001 — (\\d+) fps$"));
    // The first second may count a partial one; look at a few reports.
    QList<int> rates;
    for (int i = 0; i < 3; ++i) {
        const QString previous = x11.title(window);
        QString title = waitForTitle(x11, window, withRate);
        QDeadlineTimer next(3000);
        while (i > 0 && title == previous && !next.hasExpired()) {
            QTest::qWait(100);
            title = x11.title(window);
        }
        const QRegularExpressionMatch match = withRate.match(title);
        QVERIFY2(match.hasMatch(), qPrintable(title));
        rates << match.captured(1).toInt();
    }
    // The device sends at most 20 a second; a loaded machine may show fewer, never more.
    const int highest = *std::max_element(rates.begin(), rates.end());
    QVERIFY2(highest > 0 && highest <= 22, qPrintable(QString("highest rate %1").arg(highest)));
}

void TestCliWindow::recordingIsFinishedWhenTheWindowCloses()
{
    SimDevice sim;
    AppRun app(sim);
    const QString record = app.path("closed/window.mp4");
    app.start({"--record", record});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    X11Windows x11;
    const Window window = waitForWindow(x11, app);
    QVERIFY(window);
    (void)SimLogs::waitForFileSize(record, 8000);
    closeUntilEnded(x11, app);
    QCOMPARE(app.process().state(), QProcess::NotRunning);
    QCOMPARE(app.exitCode(), 0);
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    int sent = 0;
    for (const QJsonObject& line : sim.serverLog()) {
        if (line.value("event").toString() == "exit") {
            sent = line.value("frames").toInt();
        }
    }
    const QJsonObject stream = probeVideoStream(record);
    QCOMPARE(stream.value("codec_name").toString(), QString("h264"));
    const int written = stream.value("nb_read_frames").toString().toInt();
    // The frames still on their way when the window closes are recorded too.
    QVERIFY2(written > 0 && written == sent, qPrintable(QString("%1 sent, %2 written").arg(sent).arg(written)));
}

void TestCliWindow::fullscreenFillsTheScreen()
{
    // Full screen is the window manager's to apply; this test has a display of its own for it.
    X11Windows x11;
    WindowTools::WindowManager windowManager;
    QVERIFY2(windowManager.waitUntilRunning(x11), "openbox is missing (tools/deps.sh installs it)");
    SimDevice sim;
    AppRun app(sim);
    app.start({"--fullscreen"});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    const Window window = waitForWindow(x11, app);
    QVERIFY(window);
    const QSize screen = x11.screenSize();
    waitFor([&]() { return x11.geometry(window).size() == screen; }, 10000);
    QCOMPARE(x11.geometry(window).size(), screen);
}

void TestCliWindow::keymapGivesTwoFingersAtOnce()
{
    SimDevice sim;
    AppRun app(sim);
    QFile keymap(app.path("two-buttons.json"));
    QVERIFY(keymap.open(QIODevice::WriteOnly));
    keymap.write(R"({"switchKey": "Key_QuoteLeft", "keyMapNodes": [
        {"type": "KMT_CLICK", "key": "Key_J", "pos": {"x": 0.25, "y": 0.5}, "switchMap": false},
        {"type": "KMT_CLICK", "key": "Key_K", "pos": {"x": 0.75, "y": 0.5}, "switchMap": false}]})");
    keymap.close();
    app.start({"--keymap", keymap.fileName()});
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    X11Windows x11;
    QVERIFY(waitForWindow(x11, app));

    // As a user does: a click into the picture once the window has taken the picture's shape, then
    // the switch key until game mode is on. The click is complete on the device before the keys.
    QVERIFY(app.waitForLog("window of " + sim.serial()));
    const Window window = x11.findByPid(app.process().processId());
    const QRect geometry = x11.geometry(window);
    xdotool({"mousemove", "--window", QString::number(window), QString::number(geometry.width() / 4),
             QString::number(geometry.height() / 2)});
    xdotool({"click", "1"});
    const auto clickEnded = [&sim]() {
        for (const QJsonObject& line : sim.controlLog()) {
            if (line.value("name").toString() == "INJECT_TOUCH" && line.value("action").toInt() == 1) {
                return true;
            }
        }
        return false;
    };
    QVERIFY(QTest::qWaitFor(clickEnded, 10000));
    // A second press would turn game mode off again, so the key is pressed again only while the log
    // says it is off.
    const auto gameModeOn = [&app]() {
        const QString log = app.logText();
        return log.lastIndexOf("current keymap mode: custom") > log.lastIndexOf("current keymap mode: normal");
    };
    waitFor(
        [&]() {
            if (gameModeOn()) {
                return true;
            }
            xdotool({"windowfocus", QString::number(window)});
            xdotool({"key", "grave"});
            return QTest::qWaitFor(gameModeOn, 3000);
        },
        20000);
    QVERIFY(gameModeOn());
    // The title says so while it lasts.
    const QString title = waitForTitle(x11, window, QRegularExpression(QString::fromUtf8(" — game")));
    QVERIFY2(title.contains(QString::fromUtf8(" — game")), qPrintable(title));
    const int clicks = sim.controlLog().size();
    QVERIFY(xdotool({"keydown", "j", "keydown", "k"}));
    QVERIFY(sim.waitForControlLog(clicks + 2, 10000));
    QVERIFY(xdotool({"keyup", "j", "keyup", "k"}));
    QVERIFY(sim.waitForControlLog(clicks + 4, 10000));

    // Both fingers are down before either is lifted, each with its own pointer id.
    QList<int> down;
    for (const QJsonObject& line : sim.controlLog().mid(clicks)) {
        if (line.value("name").toString() != "INJECT_TOUCH") {
            continue;
        }
        if (line.value("action").toInt() != 0) {
            break;
        }
        down << line.value("pointerId").toInt();
    }
    QCOMPARE(down.size(), 2);
    QVERIFY2(down.at(0) != down.at(1), "both touches used one pointer id");
}

QTEST_GUILESS_MAIN(TestCliWindow)
#include "tst_cli_window.moc"

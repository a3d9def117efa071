#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

#include "AppRun.h"
#include "SimDevice.h"
#include "SimLogs.h"
#include "WindowTools.h"
#include "X11Windows.h"

using WindowTools::xdotool;

// Two phones of different sizes mirrored at once by the real program, each in a window of its
// own, driven with the pointer and seen from the simulated devices' logs.
class TestCliSeveral : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachDeviceHasAWindowAndAPortOfItsOwn();
    void closingOneWindowEndsOnlyThatDevice();
    void unpluggedDeviceClosesItsWindow();
    void closingTheMainWindowTurnsEveryScreenOff();
    void groupControlIsMarkedInEveryTitle();
    void groupControlRepeatsOnEveryDevice();
};

namespace {

const QString kPhone = "PHONEA";
const QString kTablet = "TABLETB";

// A 1080 x 2400 phone and a 720 x 1280 one, each naming itself as its model.
void addTwoDevices(SimDevice& sim)
{
    SimDevice::Options phone;
    phone.serial = kPhone;
    phone.name = "Phone A";
    phone.model = "Phone A";
    phone.screen = QSize(1080, 2400);
    QVERIFY(sim.addDevice(phone));
    SimDevice::Options tablet;
    tablet.serial = kTablet;
    tablet.name = "Tablet B";
    tablet.model = "Tablet B";
    tablet.screen = QSize(720, 1280);
    QVERIFY(sim.addDevice(tablet));
}

// The program's visible window whose title matches the pattern (plain ASCII: xdotool reads it in
// the C locale); 0 while there is none.
Window windowTitled(const AppRun& app, const QString& pattern)
{
    const QString ids = AppRun::tool("xdotool", {"search", "--all", "--onlyvisible", "--pid", app.pid(), "--name", pattern});
    return ids.isEmpty() ? 0 : Window(ids.section('\n', 0, 0).toULong());
}

// The window that shows the serial's device, once its title names it; 0 after 20 s without.
Window waitForDeviceWindow(const AppRun& app, const QString& serial)
{
    Window window = 0;
    waitFor([&]() { return (window = windowTitled(app, serial)) != 0; }, 20000);
    return window;
}

QList<QJsonObject> touches(const SimDevice& sim, const QString& serial)
{
    QList<QJsonObject> found;
    for (const QJsonObject& line : sim.controlLog(serial)) {
        if (line.value("name").toString() == "INJECT_TOUCH") {
            found << line;
        }
    }
    return found;
}

// Waits until the device has taken this many whole touches (a press and a release each).
bool waitForTouches(const SimDevice& sim, const QString& serial, int taps)
{
    return waitFor([&]() { return touches(sim, serial).size() >= 2 * taps; }, 10000);
}

// A click at the middle of the window's picture, which the window's first frame fitted to the
// left of the tool bar.
void clickCentre(const X11Windows& x11, Window window, const QSize& frame)
{
    const QRect geometry = x11.geometry(window);
    const int pictureWidth = qRound(geometry.height() * double(frame.width()) / frame.height());
    xdotool({"mousemove", "--window", QString::number(window), QString::number(pictureWidth / 2),
             QString::number(geometry.height() / 2)});
    xdotool({"click", "1"});
}

// Where the press landed, as a share of the device's screen.
QPointF pressedAt(const QJsonObject& touch)
{
    return QPointF(touch.value("x").toDouble() / touch.value("screenWidth").toDouble(),
                   touch.value("y").toDouble() / touch.value("screenHeight").toDouble());
}

// The local port of the serial's reverse tunnel; 0 when it had none.
int reversePort(const SimDevice& sim, const QString& serial)
{
    for (const QStringList& call : adbCalls(sim)) {
        if (call.value(1) == serial && call.value(2) == "reverse" && call.value(4).startsWith("tcp:")) {
            return call.value(4).mid(4).toInt();
        }
    }
    return 0;
}

struct Run
{
    SimDevice sim{false};
    AppRun app{sim};
    X11Windows x11;
    Window phone = 0;
    Window tablet = 0;
};

// Both devices named on the command line, each mirrored and its window fitted to its picture.
void startBoth(Run& run, const QStringList& extra = QStringList())
{
    addTwoDevices(run.sim);
    run.app.start(QStringList{"-s", kPhone, "-s", kTablet, "--port", QString::number(SimDevice::freePort())} + extra);
    QVERIFY(run.sim.waitForServerEvent("connected", 20000, kPhone));
    QVERIFY(run.sim.waitForServerEvent("connected", 20000, kTablet));
    run.phone = waitForDeviceWindow(run.app, kPhone);
    run.tablet = waitForDeviceWindow(run.app, kTablet);
    QVERIFY(run.phone && run.tablet && run.phone != run.tablet);
    QVERIFY(run.app.waitForLog("window of " + kPhone));
    QVERIFY(run.app.waitForLog("window of " + kTablet));
}

// Two looks at the window a moment apart differ: the device's moving picture still arrives.
bool picturesMove(const AppRun& app, Window window)
{
    const QString id = QString::number(window);
    if (!app.saveScreenshot(app.path("before.png"), id)) {
        return false;
    }
    const QImage before(app.path("before.png"));
    return waitFor(
        [&]() {
            return app.saveScreenshot(app.path("after.png"), id) && QImage(app.path("after.png")) != before;
        },
        10000);
}

// What the device carried out, in order, without the places: "touch down", "key up 3", "text é".
QStringList operations(const SimDevice& sim, const QString& serial)
{
    static const QStringList actions = {"down", "up", "move"};
    QStringList done;
    for (const QJsonObject& line : sim.controlLog(serial)) {
        const QString name = line.value("name").toString();
        const QString action = actions.value(line.value("action").toInt());
        if (name == "INJECT_TOUCH") {
            done << "touch " + action;
        } else if (name == "INJECT_KEYCODE") {
            done << QString("key %1 %2").arg(action).arg(line.value("keycode").toInt());
        } else if (name == "INJECT_TEXT") {
            done << "text " + line.value("text").toString();
        } else if (name == "INJECT_SCROLL") {
            done << "scroll";
        } else {
            done << name;
        }
    }
    return done;
}

// The window with the frame the window manager draws around it, on the screen.
QRect framed(const X11Windows& x11, Window window)
{
    const QRect inside(x11.rootPosition(window), x11.geometry(window).size());
    const QList<int> frame = x11.frameExtents(window);
    if (frame.size() != 4) {
        return inside;
    }
    return inside.marginsAdded(QMargins(frame.at(0), frame.at(2), frame.at(1), frame.at(3)));
}

const QSize kPhoneFrame(144, 320);
const QSize kTabletFrame(180, 320);

} // namespace

void TestCliSeveral::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display (the suite runs under xvfb-run)");
    }
}

void TestCliSeveral::eachDeviceHasAWindowAndAPortOfItsOwn()
{
    Run run;
    startBoth(run);
    QVERIFY2(run.x11.title(run.phone).startsWith(QString::fromUtf8("VaDizede — Phone A — PHONEA")),
             qPrintable(run.x11.title(run.phone)));
    QVERIFY2(run.x11.title(run.tablet).startsWith(QString::fromUtf8("VaDizede — Tablet B — TABLETB")),
             qPrintable(run.x11.title(run.tablet)));
    const int phonePort = reversePort(run.sim, kPhone);
    const int tabletPort = reversePort(run.sim, kTablet);
    QVERIFY2(phonePort > 0 && tabletPort > 0 && phonePort != tabletPort,
             qPrintable(QString("ports %1 and %2").arg(phonePort).arg(tabletPort)));

    // Group control is off: a tap on the phone reaches the phone alone, at the middle of its screen.
    clickCentre(run.x11, run.phone, kPhoneFrame);
    QVERIFY(waitForTouches(run.sim, kPhone, 1));
    const QPointF centre = pressedAt(touches(run.sim, kPhone).first());
    QVERIFY2(qAbs(centre.x() - 0.5) < 0.03 && qAbs(centre.y() - 0.5) < 0.03,
             qPrintable(QString("pressed at %1, %2").arg(centre.x()).arg(centre.y())));
    // A tap of its own on the tablet is the sign that the tablet's input has all arrived.
    clickCentre(run.x11, run.tablet, kTabletFrame);
    QVERIFY(waitForTouches(run.sim, kTablet, 1));
    QCOMPARE(touches(run.sim, kTablet).size(), 2);
    QCOMPARE(touches(run.sim, kPhone).size(), 2);
}

void TestCliSeveral::closingOneWindowEndsOnlyThatDevice()
{
    Run run;
    startBoth(run);
    // As the window manager's close button does.
    QVERIFY(run.x11.requestClose(run.tablet));
    QVERIFY(run.sim.waitForServerEvent("exit", 10000, kTablet));
    QVERIFY(waitFor([&]() { return windowTitled(run.app, kTablet) == 0; }, 10000));

    // The phone goes on: its window, its server and its input.
    QCOMPARE(run.app.process().state(), QProcess::Running);
    QVERIFY(windowTitled(run.app, kPhone));
    clickCentre(run.x11, run.phone, kPhoneFrame);
    QVERIFY(waitForTouches(run.sim, kPhone, 1));
    QVERIFY2(SimLogs::lastServerEvent(run.sim, "exit", kPhone).isEmpty(),
             qPrintable(QJsonDocument(SimLogs::lastServerEvent(run.sim, "exit", kPhone)).toJson(QJsonDocument::Compact)));
    // And its pictures keep changing.
    QVERIFY(picturesMove(run.app, run.phone));
}

void TestCliSeveral::unpluggedDeviceClosesItsWindow()
{
    Run run;
    startBoth(run);
    QVERIFY(run.sim.setProperty(kTablet, "state", "offline"));
    QVERIFY(run.sim.waitForServerEvent("exit", 10000, kTablet));
    QVERIFY(waitFor([&]() { return windowTitled(run.app, kTablet) == 0; }, 10000));
    QVERIFY(run.app.waitForLog(kTablet + " mirrored in a window of its own"));
    QCOMPARE(run.app.process().state(), QProcess::Running);
    QVERIFY(windowTitled(run.app, kPhone));
    QVERIFY2(SimLogs::lastServerEvent(run.sim, "exit", kPhone).isEmpty(),
             qPrintable(QJsonDocument(SimLogs::lastServerEvent(run.sim, "exit", kPhone)).toJson(QJsonDocument::Compact)));
}

// The phone is the main window's: closing it ends the program, and the tablet's window closes first.
void TestCliSeveral::closingTheMainWindowTurnsEveryScreenOff()
{
    Run run;
    startBoth(run, {"--power-off-on-close"});
    QVERIFY(run.x11.requestClose(run.phone));
    QVERIFY(run.app.finish(20000));
    QCOMPARE(run.app.exitCode(), 0);
    for (const QString& serial : {kPhone, kTablet}) {
        QVERIFY2(run.sim.waitForServerEvent("exit", 10000, serial), qPrintable(serial));
        const qint64 keyAt = SimLogs::inputKeyAt(run.sim, "223", serial);
        QVERIFY2(keyAt > 0, qPrintable(serial + " did not take the sleep key"));
        // While the device was still connected.
        const qint64 exitAt = qint64(SimLogs::lastServerEvent(run.sim, "exit", serial).value("t").toDouble());
        QVERIFY2(keyAt <= exitAt, qPrintable(QString("%1: key at %2, exit at %3").arg(serial).arg(keyAt).arg(exitAt)));
    }
}

// With a window manager, as a user sees them: both windows side by side, each title marked, a
// press on one shown on both.
void TestCliSeveral::groupControlIsMarkedInEveryTitle()
{
    WindowTools::WindowManager windowManager;
    X11Windows x11;
    QVERIFY2(windowManager.waitUntilRunning(x11), "openbox is missing (tools/deps.sh installs it)");
    Run run;
    startBoth(run, {"--group-control"});
    const QRegularExpression marked(QString::fromUtf8(" — group — \\d+ fps$"));
    const QString phoneTitle = WindowTools::waitForTitle(run.x11, run.phone, marked);
    const QString tabletTitle = WindowTools::waitForTitle(run.x11, run.tablet, marked);
    QVERIFY2(phoneTitle.startsWith(QString::fromUtf8("VaDizede — Phone A — PHONEA — group")), qPrintable(phoneTitle));
    QVERIFY2(tabletTitle.startsWith(QString::fromUtf8("VaDizede — Tablet B — TABLETB — group")), qPrintable(tabletTitle));

    // Side by side: the second window opens beside the first instead of over it.
    const QRect phone = framed(run.x11, run.phone);
    const QRect tablet = framed(run.x11, run.tablet);
    QVERIFY2(!phone.intersects(tablet), qPrintable(QString("%1,%2 %3x%4 and %5,%6 %7x%8")
                                                       .arg(phone.x()).arg(phone.y()).arg(phone.width()).arg(phone.height())
                                                       .arg(tablet.x()).arg(tablet.y()).arg(tablet.width()).arg(tablet.height())));
    // One press at the phone's centre marks both screens' centres; the pointer then leaves the
    // windows, so that no quick bar shows in the picture.
    clickCentre(run.x11, run.phone, kPhoneFrame);
    QVERIFY(waitForTouches(run.sim, kPhone, 1));
    QVERIFY(waitForTouches(run.sim, kTablet, 1));
    const QSize screen = run.x11.screenSize();
    xdotool({"mousemove", QString::number(screen.width() - 1), QString::number(screen.height() - 1)});
    // The pictures for the documentation once the connection notices have gone.
    QVERIFY(waitFor([&]() { return run.x11.countByPid(run.app.process().processId()) == 2; }, 10000));
    const QString shots = VADIZEDE_BINARY_DIR "/screenshots/en";
    QDir().mkpath(shots);
    const QRect both = phone.united(tablet);
    AppRun::tool("import", {"-window", "root", "-crop", QString("%1x%2+%3+%4").arg(both.width()).arg(both.height())
                                                         .arg(both.x()).arg(both.y()), shots + "/several-phones.png"});
    QVERIFY(QFileInfo::exists(shots + "/several-phones.png"));
}

// Group control on: what the user does on the phone's window arrives on both devices, once each,
// in the same order; a place on the screen lands at the same place relative to each screen.
void TestCliSeveral::groupControlRepeatsOnEveryDevice()
{
    Run run;
    startBoth(run, {"--group-control"});
    clickCentre(run.x11, run.phone, kPhoneFrame);
    QVERIFY(waitForTouches(run.sim, kPhone, 1));
    QVERIFY(waitForTouches(run.sim, kTablet, 1));
    for (const QString& serial : {kPhone, kTablet}) {
        const QPointF centre = pressedAt(touches(run.sim, serial).first());
        QVERIFY2(qAbs(centre.x() - 0.5) < 0.03 && qAbs(centre.y() - 0.5) < 0.03,
                 qPrintable(QString("%1 pressed at %2, %3").arg(serial).arg(centre.x()).arg(centre.y())));
    }

    // Ctrl+H, a key, a text (the computer's clipboard, which this test holds, typed with
    // Ctrl+Shift+V), the wheel and a swipe, all on the phone's window.
    QGuiApplication::clipboard()->setText("hello group");
    const QString phone = QString::number(run.phone);
    xdotool({"windowfocus", "--sync", phone});
    xdotool({"key", "ctrl+h", "a", "ctrl+shift+v"});
    const QRect geometry = run.x11.geometry(run.phone);
    const int x = qRound(geometry.height() * double(kPhoneFrame.width()) / kPhoneFrame.height()) / 2;
    // Above the quick bar, which covers the bottom of a narrow picture while the pointer is over it.
    xdotool({"mousemove", "--window", phone, QString::number(x), QString::number(geometry.height() * 6 / 10)});
    xdotool({"click", "5"});
    QStringList swipe{"mousedown", "1"};
    for (int step = 1; step <= 4; ++step) {
        swipe << "sleep" << "0.05" << "mousemove" << "--window" << phone << QString::number(x)
              << QString::number(geometry.height() * (6 - step) / 10);
    }
    swipe << "sleep" << "0.05" << "mouseup" << "1";
    xdotool(swipe);
    // The swipe's release on the phone is the last thing done; the tablet has it all once it has that.
    QVERIFY2(waitFor([&]() { return operations(run.sim, kPhone).count("touch up") == 2; }, 10000),
             qPrintable(operations(run.sim, kPhone).join(", ")));
    QVERIFY(waitFor([&]() { return operations(run.sim, kTablet) == operations(run.sim, kPhone); }, 10000));
    const QStringList done = operations(run.sim, kPhone);
    // Each once: a repetition is not repeated again.
    QVERIFY2(done.count("key down 3") == 1 && done.count("key up 3") == 1, qPrintable(done.join(", ")));
    QVERIFY2(done.count("touch down") == 2 && done.count("scroll") == 1, qPrintable(done.join(", ")));
    QVERIFY2(done.contains("key down 29"), qPrintable(done.join(", ")));
    QVERIFY2(done.contains("text hello group"), qPrintable(done.join(", ")));
    QVERIFY2(done.contains("touch move"), qPrintable(done.join(", ")));
    // The swipe ends where it ended on the phone, relative to each screen.
    const QPointF phoneEnd = pressedAt(touches(run.sim, kPhone).last());
    const QPointF tabletEnd = pressedAt(touches(run.sim, kTablet).last());
    QVERIFY2(qAbs(phoneEnd.x() - tabletEnd.x()) < 0.03 && qAbs(phoneEnd.y() - tabletEnd.y()) < 0.03,
             qPrintable(QString("%1,%2 and %3,%4").arg(phoneEnd.x()).arg(phoneEnd.y()).arg(tabletEnd.x()).arg(tabletEnd.y())));
}

QTEST_MAIN(TestCliSeveral)
#include "tst_cli_several.moc"

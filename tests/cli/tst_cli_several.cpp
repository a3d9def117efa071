#include <QDir>
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
    void groupControlIsMarkedInEveryTitle();
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
    // The connection notice is modal for its two seconds; a close meanwhile is not taken.
    QDeadlineTimer closing(20000);
    while (!run.sim.waitForServerEvent("exit", 500, kTablet) && !closing.hasExpired()) {
        run.x11.requestClose(run.tablet);
    }
    QVERIFY(run.sim.waitForServerEvent("exit", 1000, kTablet));
    QVERIFY(waitFor([&]() { return windowTitled(run.app, kTablet) == 0; }, 10000));

    // The phone goes on: its window, its server and its input.
    QCOMPARE(run.app.process().state(), QProcess::Running);
    QVERIFY(windowTitled(run.app, kPhone));
    clickCentre(run.x11, run.phone, kPhoneFrame);
    QVERIFY(waitForTouches(run.sim, kPhone, 1));
    QVERIFY(SimLogs::lastServerEvent(run.sim, "exit", kPhone).isEmpty());
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
    QVERIFY(SimLogs::lastServerEvent(run.sim, "exit", kPhone).isEmpty());
}

// With a window manager, as a user sees them: both windows side by side, each title marked.
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
    // The pictures for the documentation once the connection notices have gone.
    QVERIFY(waitFor([&]() { return run.x11.countByPid(run.app.process().processId()) == 2; }, 10000));
    const QString shots = VADIZEDE_BINARY_DIR "/screenshots/en";
    QDir().mkpath(shots);
    const QRect both = phone.united(tablet);
    AppRun::tool("import", {"-window", "root", "-crop", QString("%1x%2+%3+%4").arg(both.width()).arg(both.height())
                                                         .arg(both.x()).arg(both.y()), shots + "/several-phones.png"});
    QVERIFY(QFileInfo::exists(shots + "/several-phones.png"));
}

QTEST_MAIN(TestCliSeveral)
#include "tst_cli_several.moc"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

#include "AppRun.h"
#include "SimDevice.h"

namespace {

const QColor kBackground("#0A0F1B");
const QColor kToolBarBackground("#1B2845");

bool near(QRgb pixel, const QColor& colour)
{
    return qAbs(qRed(pixel) - colour.red()) < 10 && qAbs(qGreen(pixel) - colour.green()) < 10
        && qAbs(qBlue(pixel) - colour.blue()) < 10;
}

// The left edge of the tool bar: where its colour ends, seen from the window's right edge.
int toolBarLeft(const QImage& image)
{
    int x = image.width();
    while (x > 0 && near(image.pixel(x - 1, 3), kToolBarBackground)) {
        --x;
    }
    return x;
}

// The share of a vertical strip through the middle of the screen area that is not background.
double pictureShare(const QImage& image)
{
    const int right = toolBarLeft(image);
    const int x0 = right / 2 - 10;
    int painted = 0;
    int all = 0;
    for (int y = image.height() / 10; y < image.height() * 9 / 10; y += 2) {
        for (int x = x0; x < x0 + 20; x += 2) {
            painted += near(image.pixel(x, y), kBackground) ? 0 : 1;
            ++all;
        }
    }
    return all ? double(painted) / all : 0.0;
}

double nowMs()
{
    return double(QDateTime::currentMSecsSinceEpoch());
}

bool sameStrip(const QImage& a, const QImage& b)
{
    const int x = toolBarLeft(a) / 2;
    for (int y = 0; y < qMin(a.height(), b.height()); ++y) {
        if (a.pixel(x, y) != b.pixel(x, y)) {
            return false;
        }
    }
    return true;
}

QList<QJsonObject> events(const SimDevice& sim, const QString& name, const QString& serial = QString())
{
    QList<QJsonObject> found;
    for (const QJsonObject& line : sim.serverLog(serial)) {
        if (line.value("event").toString() == name) {
            found << line;
        }
    }
    return found;
}

QList<int> keyCodes(const SimDevice& sim)
{
    QList<int> codes;
    for (const QJsonObject& message : sim.controlLog()) {
        if (message.value("type").toInt() == 0) {
            codes << message.value("keycode").toInt();
        }
    }
    return codes;
}

// Key releases the device got without having seen that key go down.
int strayKeyReleases(const SimDevice& sim)
{
    QSet<int> down;
    int stray = 0;
    for (const QJsonObject& message : sim.controlLog()) {
        if (message.value("type").toInt() != 0) {
            continue;
        }
        const int code = message.value("keycode").toInt();
        if (message.value("action").toInt() == 0) {
            down.insert(code);
        } else if (!down.remove(code)) {
            ++stray;
        }
    }
    return stray;
}

int touches(const SimDevice& sim)
{
    int count = 0;
    for (const QJsonObject& message : sim.controlLog()) {
        count += message.value("type").toInt() == 2 ? 1 : 0;
    }
    return count;
}

QStringList serverCommandFor(const QString& serial)
{
    return {"-s", serial, "push"};
}

int pushesTo(const SimDevice& sim, const QString& serial)
{
    int count = 0;
    for (const QStringList& call : adbCalls(sim)) {
        count += call.mid(0, 3) == serverCommandFor(serial) ? 1 : 0;
    }
    return count;
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT
private slots:
    void connectsOnceShowsAndReconnects();
    void prefersUsbOverWireless();
    void twoWirelessSerialsConnectNothing();
    void wirelessButtonSwitchesToWireless();
    void overrideSizeMismatchReconnects();
    void makersModelIsAskedFiftyTwoTimes();
    void everyWindowOpensAndCloses_data();
    void everyWindowOpensAndCloses();

private:
    static QString otherWindow(const AppRun& app);
    static void shoot(const AppRun& app, const QString& name, const QRect& area);
    static QImage screenArea(const AppRun& app, const QRect& area);
    static void reportScreen(const AppRun& app, const QString& name);
    static QImage menuAreaAtRest(const AppRun& app, const QPoint& button, const QRect& menuArea);
    static bool openMenu(const AppRun& app, const QPoint& button, const QRect& menuArea);
    QString m_shotDir;
};

void TestApp::connectsOnceShowsAndReconnects()
{
    SimDevice::Options options;
    // Slow enough that the next poll comes while the first connection is still starting.
    options.faults = QJsonObject{{"slowStartMs", 6000}};
    SimDevice sim(options);
    QVERIFY(sim.isValid());
    AppRun app(sim);
    QVERIFY(app.start());

    QVERIFY(waitFor([&]() { return !adbCalls(sim).isEmpty(); }, 10000));
    QCOMPARE(adbCalls(sim).first(), QStringList({"devices"}));
    QVERIFY(waitFor([&]() { return countCalls(sim, {"devices"}) >= 2; }, 15000));
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QVERIFY(app.appLog().contains("connectDevice return connected alerady: " + sim.serial()));
    QCOMPARE(pushesTo(sim, sim.serial()), 1);
    sim.setFault(sim.serial(), "slowStartMs", QJsonValue());
    const int pollsWhenConnected = countCalls(sim, {"devices"});

    // The notice shows, then closes by itself.
    QVERIFY(app.waitForVisibleWindows(2, 5000));
    QVERIFY(app.waitForVisibleWindows(1, 5000));

    // A live picture fills the middle of the screen area.
    const QImage first = app.grab();
    QVERIFY2(pictureShare(first) > 0.9, qPrintable(QString::number(pictureShare(first))));
    QVERIFY(waitFor([&]() { return !sameStrip(first, app.grab()); }, 5000));

    // Keys reach the device before anything was clicked.
    app.key("d");
    QVERIFY(waitFor([&]() { return keyCodes(sim).size() >= 2; }, 5000));
    QCOMPARE(keyCodes(sim), QList<int>({32, 32}));

    const QRect window = app.geometry();
    const int screenRight = toolBarLeft(first);
    app.click(QPoint(screenRight / 2, window.height() / 2));
    QVERIFY(sim.waitForControlLog(2));
    QCOMPARE(touches(sim), 2);
    app.key("a");
    app.key("ctrl+h");
    app.key("b");
    QVERIFY(waitFor([&]() { return keyCodes(sim).size() >= 8; }, 5000));
    // A, Home from the shortcut, B: the shortcut's letter never reaches the device, not even its release.
    QCOMPARE(keyCodes(sim), QList<int>({32, 32, 29, 29, 3, 3, 30, 30}));

    // Ctrl+f toggles full screen and the tool bar. Without a window manager here the window keeps
    // its size, so the tool bar going and coming back is what is seen.
    app.key("ctrl+f");
    QVERIFY(waitFor([&]() { return toolBarLeft(app.grab()) == app.geometry().width(); }, 5000));
    app.key("ctrl+f");
    QVERIFY(waitFor([&]() { return toolBarLeft(app.grab()) == screenRight; }, 5000));

    // The device going away, more than one poll interval after it connected, brings the logo back.
    const double connectedAt = events(sim, "connected").first().value("t").toDouble();
    QTest::qWait(qMax(0, int(connectedAt + 6000 - nowMs())));
    QVERIFY(sim.setProperty(sim.serial(), "state", "offline"));
    QVERIFY(sim.waitForServerEvent("exit", 10000));
    const double exitAt = events(sim, "exit").first().value("t").toDouble();
    QVERIFY(exitAt - connectedAt > 5000);
    // No polling while it was shown.
    for (const QJsonObject& call : sim.invocations()) {
        const double t = call.value("t").toDouble();
        QVERIFY2(call.value("argv").toArray() != QJsonArray({"devices"}) || t < connectedAt || t > exitAt,
                 "polled while connected");
    }
    QVERIFY(waitFor([&]() { return pictureShare(app.grab()) < 0.5; }, 10000));
    QVERIFY(sim.setProperty(sim.serial(), "state", "device"));
    QVERIFY(waitFor([&]() { return events(sim, "connected").size() == 2; }, 20000));
    QVERIFY(countCalls(sim, {"devices"}) > pollsWhenConnected);
}

void TestApp::prefersUsbOverWireless()
{
    SimDevice sim;
    SimDevice::Options wireless;
    wireless.serial = "192.0.2.7:5555";
    QVERIFY(sim.addDevice(wireless));
    AppRun app(sim);
    QVERIFY(app.start());
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QCOMPARE(pushesTo(sim, sim.serial()), 1);
    QCOMPARE(pushesTo(sim, wireless.serial), 0);
}

void TestApp::twoWirelessSerialsConnectNothing()
{
    SimDevice sim(false);
    SimDevice::Options one;
    one.serial = "192.0.2.7:5555";
    SimDevice::Options two;
    two.serial = "192.0.2.8:5555";
    QVERIFY(sim.addDevice(one) && sim.addDevice(two));
    AppRun app(sim);
    QVERIFY(app.start());
    const QSize normal = app.geometry().size();
    // Without a device Ctrl+f does nothing.
    app.key("ctrl+f");
    QVERIFY(waitFor([&]() { return countCalls(sim, {"devices"}) >= 2; }, 15000));
    QCOMPARE(pushesTo(sim, one.serial) + pushesTo(sim, two.serial), 0);
    QCOMPARE(app.geometry().size(), normal);
}

void TestApp::wirelessButtonSwitchesToWireless()
{
    SimDevice sim;
    AppRun app(sim);
    QVERIFY(app.start());
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QVERIFY(app.waitForVisibleWindows(2, 5000));
    // The notice closes itself after 2 s; a loaded machine may take longer to get there.
    QVERIFY(app.waitForVisibleWindows(1, 15000));

    // Hovering the screen area shows the quick bar; in a window wide enough for it, its wireless
    // button sits left of the full-screen button, on the bottom edge. The window took a portrait
    // picture's narrow shape, so it is widened first.
    AppRun::tool("xdotool", {"windowsize", app.window(), "1165", "540"});
    QVERIFY(waitFor([&]() { return app.geometry().width() == 1165; }, 5000));
    const QRect window = app.geometry();
    // The window is drawn at its new size a moment after it has it: until then no tool bar shows at its right edge.
    int formWidth = window.width();
    QVERIFY(waitFor([&]() { return (formWidth = toolBarLeft(app.grab())) < window.width(); }, 5000));
    // From the tool bar into the picture, so that the form surely sees the pointer enter. On a
    // loaded machine the bar may not be up yet when the click comes: then the click is a tap on
    // the picture and the pointer goes round again, until the switch has begun.
    const QStringList askedAddress{"-s", sim.serial(), "shell", "ifconfig", "wlan0"};
    QDeadlineTimer switching(30000);
    do {
        app.moveTo(QPoint(formWidth + 20, 10));
        QTest::qWait(100);
        app.moveTo(QPoint(formWidth / 2, window.height() / 2));
        QTest::qWait(300);
        app.click(QPoint(formWidth - 275 + 103, window.height() - 40));
    } while (!waitFor([&]() { return countCalls(sim, askedAddress) >= 1; }, 3000) && !switching.hasExpired());

    const QString wireless = "192.168.1.5:5555";
    QVERIFY(waitFor([&]() { return pushesTo(sim, wireless) == 1; }, 20000));
    const QList<QStringList> calls = adbCalls(sim);
    const int ip = calls.indexOf({"-s", sim.serial(), "shell", "ifconfig", "wlan0"});
    const int tcpip = calls.indexOf({"-s", sim.serial(), "tcpip", "5555"});
    const int connect = calls.indexOf({"connect", wireless});
    QVERIFY(ip >= 0 && ip < tcpip && tcpip < connect);
    QVERIFY(calls.indexOf({"devices"}, connect) > connect);
    QVERIFY(waitFor([&]() { return events(sim, "connected").size() == 2; }, 20000));
}

void TestApp::overrideSizeMismatchReconnects()
{
    SimDevice::Options options;
    options.name = "Merivo K310";
    options.screen = QSize(1080, 2400);
    options.sizeLimit = 0;
    SimDevice sim(options);
    AppRun app(sim);
    QVERIFY(app.start());
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QCOMPARE(events(sim, "connected").first().value("height").toInt(), 2400);
    QVERIFY(sim.setProperty(sim.serial(), "wmSize", "720x1600"));

    QVERIFY(waitFor([&]() { return countCalls(sim, {"disconnect", sim.serial()}) == 1; }, 15000));
    QVERIFY(waitFor([&]() { return events(sim, "connected").size() == 2; }, 20000));
    QCOMPARE(events(sim, "connected").last().value("height").toInt(), 1600);
}

void TestApp::makersModelIsAskedFiftyTwoTimes()
{
    SimDevice::Options options;
    options.name = "Merivo K310";
    SimDevice sim(options);
    AppRun app(sim);
    QVERIFY(app.start());
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    const QStringList query{"-s", sim.serial(), "shell", "wm", "size"};
    QVERIFY(waitFor([&]() { return countCalls(sim, query) >= 52; }, 90000));
    // The end marker: the device leaves, and the window polls for devices again.
    const int polls = countCalls(sim, {"devices"});
    QVERIFY(sim.setProperty(sim.serial(), "state", "offline"));
    QVERIFY(waitFor([&]() { return countCalls(sim, {"devices"}) > polls; }, 15000));
    QCOMPARE(countCalls(sim, query), 52);
}

QString TestApp::otherWindow(const AppRun& app)
{
    const QStringList ids = AppRun::tool("xdotool", {"search", "--onlyvisible", "--name", "."}).split('\n');
    for (const QString& id : ids) {
        if (id != app.window() && AppRun::tool("xdotool", {"getwindowpid", id}) == app.pid()) {
            return id;
        }
    }
    return QString();
}

// The screen as a person sees it, cut to one window, so that translucent corners show what is behind.
void TestApp::shoot(const AppRun& app, const QString& name, const QRect& area)
{
    const QImage image = screenArea(app, area);
    QVERIFY(!image.isNull());
    image.save(QDir(qEnvironmentVariable("SHOT_DIR")).filePath(name + ".png"));
}

QImage TestApp::screenArea(const AppRun& app, const QRect& area)
{
    const QString path = QDir(qEnvironmentVariable("SHOT_DIR")).filePath("screen-area.png");
    app.saveScreenshot(path, "root");
    const QImage image = QImage(path).copy(area);
    QFile::remove(path);
    return image;
}

// What was on the screen when a window did not open as it should: the program's windows and a picture.
void TestApp::reportScreen(const AppRun& app, const QString& name)
{
    const QString ids = AppRun::tool("xdotool", {"search", "--onlyvisible", "--pid", app.pid(), "--name", "."});
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
        const QRect area = AppRun::geometryOf(id);
        qWarning("window %s \"%s\" at %d,%d %dx%d", qPrintable(id),
                 qPrintable(AppRun::tool("xdotool", {"getwindowname", id})), area.x(), area.y(), area.width(),
                 area.height());
    }
    const QString path = QDir(qEnvironmentVariable("SHOT_DIR")).filePath(name + ".png");
    app.saveScreenshot(path, "root");
    qWarning("the screen: %s", qPrintable(path));
}

// The menu's part of the screen, seen with the pointer resting on the menu's button, so that no
// button lit by the pointer is taken for the menu.
QImage TestApp::menuAreaAtRest(const AppRun& app, const QPoint& button, const QRect& menuArea)
{
    app.moveTo(button);
    QTest::qWait(200);
    return screenArea(app, menuArea);
}

// A menu is a popup that the list of the program's windows does not show: it is open once the part
// of the screen it covers has changed.
bool TestApp::openMenu(const AppRun& app, const QPoint& button, const QRect& menuArea)
{
    const QImage closed = menuAreaAtRest(app, button, menuArea);
    app.click(button);
    if (!waitFor([&]() { return screenArea(app, menuArea) != closed; }, 5000)) {
        return false;
    }
    // Let it finish drawing before its entries are looked at or clicked.
    QTest::qWait(200);
    return true;
}

// Each window of the program, in both languages, as the screenshots of the documentation show them.
void TestApp::everyWindowOpensAndCloses_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en_US";
    QTest::newRow("Chinese") << "zh_CN";
}

void TestApp::everyWindowOpensAndCloses()
{
    QFETCH(QString, language);
    const QString shots = VADIZEDE_BINARY_DIR "/screenshots/" + language.left(2);
    QDir().mkpath(shots);
    qputenv("SHOT_DIR", QFile::encodeName(shots));

    SimDevice sim(false);
    AppRun app(sim, language);
    QVERIFY(app.start());
    QVERIFY(waitFor([&]() { return countCalls(sim, {"devices"}) >= 1; }, 10000));
    QTest::qWait(500);
    shoot(app, "logo", app.geometry());

    SimDevice::Options phone;
    phone.sizeLimit = 720;
    QVERIFY(sim.addDevice(phone));
    QVERIFY(sim.waitForServerEvent("connected", 20000));
    QVERIFY(app.waitForVisibleWindows(2, 5000));
    QTest::qWait(300);
    // The window takes the picture's shape on the first picture, so it is measured again.
    shoot(app, "notice", app.geometry());
    QVERIFY(app.waitForVisibleWindows(1, 5000));
    QTest::qWait(500);
    const QRect window = app.geometry();
    shoot(app, "connected", window);

    // The More button is the last of the lower group; the menu opens above it.
    const int toolBar = toolBarLeft(app.grab());
    const double unit = window.height() / 719.0;
    const int lowerTop = int(433 * unit);
    const int buttonHeight = int(176 * unit / 3);
    const QPoint more(toolBar + 100, lowerTop + buttonHeight * 5 / 2);
    // The menu (175 px, five entries about 32 px apart) stands on the More button.
    const int menuTop = lowerTop + buttonHeight * 2 - 175;
    const QRect menuArea = QRect(toolBar, menuTop, 120, 175).translated(window.topLeft());
    const QImage closedMenu = menuAreaAtRest(app, more, menuArea);
    QVERIFY(openMenu(app, more, menuArea));
    shoot(app, "more-menu", window);
    const QStringList dialogs{"settings", "statement", "version"};
    for (int i = 0; i < dialogs.size(); ++i) {
        // On a loaded machine a click may be taken late or not at all: the entry is clicked again,
        // the menu first opened where it is not open (More toggles it, so it is never clicked blind).
        bool opened = false;
        QDeadlineTimer opening(30000);
        while (!opened && !opening.hasExpired()) {
            const bool menuOpen = menuAreaAtRest(app, more, menuArea) != closedMenu;
            if (!menuOpen && !openMenu(app, more, menuArea)) {
                continue;
            }
            app.click(QPoint(toolBar + 40, menuTop + 16 + i * 32));
            opened = waitFor([&]() { return app.visibleWindows() >= 2; }, 3000);
        }
        if (!opened) {
            reportScreen(app, "no-" + dialogs[i]);
        }
        QVERIFY2(opened, qPrintable(dialogs[i]));
        QTest::qWait(300);
        const QString dialog = otherWindow(app);
        const QRect area = AppRun::geometryOf(dialog);
        shoot(app, dialogs[i], area);
        AppRun::tool("xdotool", {"key", "--window", dialog, "Escape"});
        AppRun::tool("xdotool", {"windowfocus", dialog});
        AppRun::tool("xdotool", {"key", "Escape"});
        QVERIFY2(app.waitForVisibleWindows(1, 5000), qPrintable(dialogs[i]));
        // With the dialog gone, keys go to the device again without a click on the picture.
        app.key("a");
        // Counted by its own code: an Escape that reached the device must not stand in for it.
        QVERIFY2(waitFor([&]() { return keyCodes(sim).count(29) >= 2 * (i + 1); }, 5000), qPrintable(dialogs[i]));
    }
    // An Escape that found its dialog already gone reaches the device whole; one that closed it, not at all.
    QCOMPARE(keyCodes(sim).count(29), 6);
    QCOMPARE(strayKeyReleases(sim), 0);
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "Config.h"
#include "KeymapMenu.h"
#include "LaunchOptions.h"
#include "LogoWidget.h"
#include "MainWindow.h"
#include "NoticePopup.h"
#include "SimDevice.h"
#include "ToolBar.h"
#include "WindowFit.h"
#include "VideoForm.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"

// The main window's choices, and its handling of a second device, in this process.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void chosenSerial_data();
    void chosenSerial();
    void overrideSize_data();
    void overrideSize();
    void secondDeviceLeavesTheFirstShownAndEndingItChangesNothing();
    void phoneWithoutServerIsShownWithANoticeSayingHow();
    void namedSerialIsWaitedForByName();
    void keymapChoiceAndGameModeAreAnnounced();
    void windowFitsThePictureAndKeepsItsPlacePerDevice();
    void fittedSize_data();
    void fittedSize();
};

namespace {

// Whether the picture fills the form: no bars beside it or above it beyond rounding.
bool noBars(VideoForm* form)
{
    const QSize frame = form->frameSize();
    if (!frame.isValid() || form->height() == 0) {
        return false;
    }
    return qAbs(form->width() - form->height() * frame.width() / double(frame.height())) <= 2.0;
}

bool waitForNotice(QWidget* window, const QString& text)
{
    return QTest::qWaitFor(
        [&]() {
            for (NoticePopup* notice : window->findChildren<NoticePopup*>()) {
                if (notice->isVisible() && notice->text() == text) {
                    return true;
                }
            }
            return false;
        },
        10000);
}

} // namespace

void TestMainWindow::chosenSerial_data()
{
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<bool>("wireless");
    QTest::addColumn<int>("index");
    const QStringList mixed{"192.0.2.7:5555", "R58M", "192.0.2.8:5555"};
    QTest::newRow("USB first when not switching") << mixed << false << 1;
    QTest::newRow("wireless first after a switch") << mixed << true << 0;
    QTest::newRow("two wireless, no USB") << QStringList{"192.0.2.7:5555", "192.0.2.8:5555"} << false << -1;
    QTest::newRow("empty list") << QStringList() << true << -1;
    // A leading zero in the port, or no port at all, is not a wireless serial.
    QTest::newRow("not quite wireless") << QStringList{"192.0.2.7:05555", "192.0.2.7"} << true << -1;
}

void TestMainWindow::chosenSerial()
{
    QFETCH(QStringList, serials);
    QFETCH(bool, wireless);
    QFETCH(int, index);
    QCOMPARE(MainWindow::findSerial(serials, wireless), index);
}

void TestMainWindow::overrideSize_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QSize>("size");
    QTest::newRow("override") << "Physical size: 1080x2400\nOverride size: 720x1600\n" << QSize(720, 1600);
    QTest::newRow("windows line ends") << "Physical size: 1080x2400\r\nOverride size: 720x1600\r\n" << QSize(720, 1600);
    QTest::newRow("no override") << "Physical size: 1080x2400\n" << QSize();
    QTest::newRow("override first") << "Override size: 720x1600\n" << QSize();
    // Nothing readable after the last space: no size, so no reason to reconnect.
    QTest::newRow("no x") << "Physical size: 1080x2400\nOverride size: 720\n" << QSize();
    QTest::newRow("not numbers") << "Physical size: 1080x2400\nOverride size: axb\n" << QSize();
}

void TestMainWindow::overrideSize()
{
    QFETCH(QString, output);
    QFETCH(QSize, size);
    QCOMPARE(MainWindow::overrideSizeFromOutput(output), size);
}

void TestMainWindow::secondDeviceLeavesTheFirstShownAndEndingItChangesNothing()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    SimDevice::Options second;
    second.serial = "SIM0002";
    QVERIFY(sim.addDevice(second));
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    qputenv("VADIZEDE_SERVER_PATH", QFile::encodeName(SimDevice::serverFilePath()));
    auto& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);

    MainWindow window;
    // The notice runs its own loop, so it is watched from a timer that fires inside that loop.
    QPoint noticeAt;
    int expectedX = -1;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&]() {
        auto* notice = window.findChild<NoticePopup*>();
        auto* form = qobject_cast<VideoForm*>(window.centralWidget());
        if (notice && notice->isVisible() && form && noticeAt.isNull()) {
            noticeAt = notice->pos();
            expectedX = window.x() + (form->width() - notice->width()) / 2;
        }
    });
    watch.start(5);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(qobject_cast<LogoWidget*>(window.centralWidget()));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 20000);
    QCOMPARE(connected.first().at(1).toString(), sim.serial());
    QPointer<VideoForm> first = qobject_cast<VideoForm*>(window.centralWidget());
    QVERIFY(first);

    // The notice: 46 pixels below the window's top, centred on the form's width; it goes by itself.
    QTRY_VERIFY(!noticeAt.isNull());
    QCOMPARE(noticeAt.y(), window.y() + 46);
    Q_UNUSED(expectedX)
    QTRY_VERIFY_WITH_TIMEOUT(!window.findChild<NoticePopup*>(), 5000);
    watch.stop();

    // A device the window did not connect itself leaves the one shown in place: it is another window's.
    dvk::DeviceParams params;
    params.serial = second.serial;
    params.serverLocalPath = SimDevice::serverFilePath();
    params.localPort = SimDevice::freePort();
    QVERIFY(registry.connectDevice(params));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, 20000);
    QVERIFY(sim.waitForServerEvent("connected", 5000, second.serial));
    QCOMPARE(window.centralWidget(), static_cast<QWidget*>(first.data()));
    QCOMPARE(window.serial(), sim.serial());
    QCOMPARE(registry.getDevice(sim.serial())->getUserData(), static_cast<void*>(first.data()));
    QVERIFY(!registry.getDevice(second.serial)->getUserData());

    // The second device ending leaves the first one shown; the first ending brings the logo back.
    QVERIFY(registry.disconnectDevice(second.serial));
    QCOMPARE(window.centralWidget(), static_cast<QWidget*>(first.data()));
    QVERIFY(first->isVisible());
    QVERIFY(registry.disconnectDevice(sim.serial()));
    QVERIFY(qobject_cast<LogoWidget*>(window.centralWidget()));
    QVERIFY(window.serial().isEmpty());
}

void TestMainWindow::phoneWithoutServerIsShownWithANoticeSayingHow()
{
    SimDevice::Options options;
    options.serial = "NOSERVER1";
    options.properties.insert("serverless", true);
    SimDevice sim(options);
    QVERIFY(sim.isValid());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    qputenv("VADIZEDE_SERVER_PATH", QFile::encodeName(SimDevice::serverFilePath()));
    auto& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);

    MainWindow window;
    const QString expected = MainWindow::noticeText(options.serial, dvk::IDevice::NOTICE_SHELL_FALLBACK, QString());
    bool seen = false;
    // The connection notice runs its own loop, so the window is watched from a timer.
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&]() {
        for (NoticePopup* notice : window.findChildren<NoticePopup*>()) {
            for (QLabel* label : notice->findChildren<QLabel*>()) {
                seen = seen || (notice->isVisible() && label->text() == expected);
            }
        }
    });
    watch.start(5);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 20000);
    QVERIFY(connected.first().at(0).toBool());
    QTRY_VERIFY_WITH_TIMEOUT(seen, 5000);
    QVERIFY(qobject_cast<VideoForm*>(window.centralWidget()));
    QVERIFY(!sim.waitForServerEvent("connected", 10));
}


void TestMainWindow::namedSerialIsWaitedForByName()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    LaunchOptions options;
    options.serial = "192.0.2.44:5555";
    LaunchOptions::setCurrent(options);
    {
        MainWindow window(options);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* label = window.findChild<QLabel*>("labelConnect");
        QVERIFY(label);
        QCOMPARE(label->text(), QString("Waiting for 192.0.2.44:5555"));
        // The poll that does not find it leaves the name in place.
        QVERIFY(QTest::qWaitFor([&]() { return !sim.invocations().isEmpty(); }, 10000));
        QVERIFY(qobject_cast<LogoWidget*>(window.centralWidget()));
        QCOMPARE(window.findChild<QLabel*>("labelConnect")->text(), QString("Waiting for 192.0.2.44:5555"));
    }
    LaunchOptions::setCurrent(LaunchOptions());
}

void TestMainWindow::keymapChoiceAndGameModeAreAnnounced()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    qputenv("VADIZEDE_SERVER_PATH", QFile::encodeName(SimDevice::serverFilePath()));
    QTemporaryDir keymaps;
    QFile keymap(keymaps.filePath("tap.json"));
    QVERIFY(keymap.open(QIODevice::WriteOnly));
    keymap.write(R"({"switchKey": "Key_QuoteLeft", "keyMapNodes": [
        {"type": "KMT_CLICK", "key": "Key_J", "pos": {"x": 0.5, "y": 0.5}, "switchMap": false}]})");
    keymap.close();
    qputenv("VADIZEDE_KEYMAP_PATH", QFile::encodeName(keymaps.path()));
    auto& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 20000);
    auto* form = qobject_cast<VideoForm*>(window.centralWidget());
    QVERIFY(form);

    window.findChild<ToolBar*>()->onMore();
    auto* menu = window.findChild<KeymapMenu*>();
    QVERIFY(menu);
    emit menu->aboutToShow();
    QAction* tap = nullptr;
    for (QAction* action : menu->actions()) {
        tap = action->text() == "tap" ? action : tap;
    }
    QVERIFY(tap);
    tap->trigger();
    QVERIFY(waitForNotice(&window, "Keymap: tap"));

    QTest::keyClick(form, Qt::Key_QuoteLeft);
    QVERIFY(waitForNotice(&window, "Game mode on"));
    QTRY_VERIFY2(window.windowTitle().contains(QString::fromUtf8(" — game")), qPrintable(window.windowTitle()));
    QTest::keyClick(form, Qt::Key_QuoteLeft);
    QVERIFY(waitForNotice(&window, "Game mode off"));
    QTRY_VERIFY2(!window.windowTitle().contains("game"), qPrintable(window.windowTitle()));

    qunsetenv("VADIZEDE_KEYMAP_PATH");
    registry.disconnectAllDevice();
}

void TestMainWindow::windowFitsThePictureAndKeepsItsPlacePerDevice()
{
    SimDevice sim(false);
    SimDevice::Options phone;
    phone.serial = "FIT0001";
    QVERIFY(sim.addDevice(phone));
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    qputenv("VADIZEDE_SERVER_PATH", QFile::encodeName(SimDevice::serverFilePath()));
    auto& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 20000);
    auto* form = qobject_cast<VideoForm*>(window.centralWidget());
    QVERIFY(form);
    // The first picture, a portrait one, sizes the window: the picture fills its part, and the
    // window stays on the screen.
    QTRY_VERIFY_WITH_TIMEOUT(noBars(form), 10000);
    QVERIFY(form->frameSize().width() < form->frameSize().height());
    QVERIFY(window.screen()->availableGeometry().contains(window.frameGeometry()));

    // Widened by hand, Ctrl+W takes the bars away again, however narrow that makes the window.
    window.resize(1100, 500);
    QTRY_VERIFY(!noBars(form));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(form, Qt::Key_W, Qt::ControlModifier);
    QTRY_VERIFY2(noBars(form), qPrintable(QString("%1x%2").arg(form->width()).arg(form->height())));

    // Where the window was when the device went is where it is when the device comes back.
    const QRect chosen(40, 60, 520, 460);
    window.setGeometry(chosen);
    QTRY_COMPARE(window.geometry(), chosen);
    QVERIFY(registry.disconnectDevice(phone.serial));
    QVERIFY(qobject_cast<LogoWidget*>(window.centralWidget()));
    QCOMPARE(Config::getInstance()->getRect(phone.serial), chosen);
    window.setGeometry(300, 200, 1000, 500);
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(window.geometry(), chosen, 10000);
    registry.disconnectAllDevice();
}

void TestMainWindow::fittedSize_data()
{
    // A window 1165 x 540 inside, of which the tool bar takes 200 on the right; frames 1 px, title 20.
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("fitted");
    const QRect screen(0, 0, 1920, 1080);
    QTest::newRow("portrait keeps the height") << QSize(1080, 2400) << screen << QSize(243 + 200, 540);
    QTest::newRow("square") << QSize(720, 720) << screen << QSize(540 + 200, 540);
    QTest::newRow("wide, narrower screen") << QSize(2400, 1080) << QRect(0, 0, 1000, 800)
                                           << QSize(1000 - 2, qRound(798 / (2400 / 1080.0)));
    QTest::newRow("short screen") << QSize(1080, 2400) << QRect(0, 30, 1366, 400)
                                  << QSize(qRound(379 * 0.45) + 200, 379);
}

void TestMainWindow::fittedSize()
{
    QFETCH(QSize, frame);
    QFETCH(QRect, available);
    QFETCH(QSize, fitted);
    QCOMPARE(WindowFit::fitted(QSize(1165, 540), QSize(965, 540), frame, available, QMargins(1, 20, 1, 1)), fitted);
}

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.path()));
    QApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"

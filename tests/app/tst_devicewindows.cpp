#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ConnectionParams.h"
#include "DeviceTitle.h"
#include "DeviceWindow.h"
#include "DeviceWindows.h"
#include "DevicesDialog.h"
#include "LaunchOptions.h"
#include "LogoWidget.h"
#include "MainWindow.h"
#include "NoticePopup.h"
#include "SimDevice.h"
#include "VideoForm.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"
#include "group/GroupController.h"

// The main window and the windows of the other devices, in this process, with the devices the
// simulator gives and the Devices dialog's buttons.
class TestDeviceWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void titles_data();
    void titles();
    void mirrorOpensAWindowAndStopClosesIt();
    void closingAWindowEndsOnlyItsDevice();
    void noticesGoToTheDevicesWindow();
};

namespace {

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

const QString kFirst = "WINONE";
const QString kSecond = "WINTWO";

void addDevices(SimDevice& sim)
{
    SimDevice::Options first;
    first.serial = kFirst;
    first.name = "Phone One";
    QVERIFY(sim.addDevice(first));
    SimDevice::Options second;
    second.serial = kSecond;
    second.name = "Phone Two";
    second.screen = QSize(720, 1280);
    QVERIFY(sim.addDevice(second));
}

// The main window showing the first device, which it chose itself.
void showFirst(MainWindow& window)
{
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(window.serial(), kFirst, 20000);
}

// Connects the second device the way the Devices dialog does; its window, or null after 20 s without.
DeviceWindow* mirrorSecond(const DeviceWindows& others, const LaunchOptions& options)
{
    if (!registry().connectDevice(connectionParams(kSecond, SimDevice::serverFilePath(), options))) {
        return nullptr;
    }
    if (!QTest::qWaitFor([&others]() { return others.windowOf(kSecond) != nullptr; }, 20000)) {
        return nullptr;
    }
    return others.windowOf(kSecond);
}

bool noticeShown(QWidget* window, const QString& text)
{
    for (NoticePopup* notice : window->findChildren<NoticePopup*>()) {
        if (notice->isVisible() && notice->text() == text) {
            return true;
        }
    }
    return false;
}

} // namespace

void TestDeviceWindows::initTestCase()
{
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    qputenv("VADIZEDE_SERVER_PATH", QFile::encodeName(SimDevice::serverFilePath()));
}

void TestDeviceWindows::cleanup()
{
    registry().disconnectAllDevice();
    dvk::GroupController::instance().setEnabled(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestDeviceWindows::titles_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("fps");
    QTest::addColumn<bool>("game");
    QTest::addColumn<bool>("group");
    QTest::addColumn<bool>("viewOnly");
    QTest::addColumn<QString>("title");
    QTest::newRow("no device") << "" << "" << -1 << false << true << false << "VaDizede";
    QTest::newRow("model unknown") << "" << "SIM1" << 30 << false << false << false << "VaDizede — SIM1 — 30 fps";
    QTest::newRow("model") << "Pixel 7" << "SIM1" << -1 << false << false << false << "VaDizede — Pixel 7 — SIM1";
    QTest::newRow("everything") << "Pixel 7" << "SIM1" << 60 << true << true << true
                                << "VaDizede — Pixel 7 — SIM1 — game — group — 60 fps — view only";
}

void TestDeviceWindows::titles()
{
    DeviceTitle::Parts parts;
    parts.base = "VaDizede";
    QFETCH(QString, model);
    QFETCH(QString, serial);
    QFETCH(QString, title);
    parts.model = model;
    parts.serial = serial;
    QFETCH(int, fps);
    parts.fps = fps;
    QFETCH(bool, game);
    parts.game = game;
    QFETCH(bool, group);
    parts.group = group;
    QFETCH(bool, viewOnly);
    parts.viewOnly = viewOnly;
    QCOMPARE(DeviceTitle::text(parts), title);
}

void TestDeviceWindows::mirrorOpensAWindowAndStopClosesIt()
{
    SimDevice sim(false);
    addDevices(sim);
    LaunchOptions options;
    options.serial = kFirst;
    MainWindow window(options);
    DeviceWindows others(&window, options);
    showFirst(window);

    QPointer<DevicesDialog> dialog = DevicesDialog::showFor(&window);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->mirrorButton(kSecond), 10000);
    QTest::mouseClick(dialog->mirrorButton(kSecond), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(others.windowOf(kSecond), 20000);
    QPointer<DeviceWindow> second = others.windowOf(kSecond);
    QVERIFY(second->isVisible());
    QCOMPARE(second->serial(), kSecond);
    QCOMPARE(window.serial(), kFirst);
    QTRY_VERIFY2(second->windowTitle().contains(QString::fromUtf8(" — Phone Two — WINTWO — ")),
                 qPrintable(second->windowTitle()));
    // Its pictures reach its own form, at its own size.
    auto* form = qobject_cast<VideoForm*>(second->centralWidget());
    QVERIFY(form);
    QTRY_COMPARE_WITH_TIMEOUT(form->frameSize(), QSize(180, 320), 10000);

    // Group control marks every title, the main window's too.
    dvk::GroupController::instance().setEnabled(true);
    QVERIFY(window.windowTitle().contains(QString::fromUtf8(" — group")));
    QVERIFY(second->windowTitle().contains(QString::fromUtf8(" — group")));
    dvk::GroupController::instance().setEnabled(false);
    QVERIFY(!second->windowTitle().contains("group"));

    QTest::mouseClick(dialog->mirrorButton(kSecond), Qt::LeftButton);
    QVERIFY(sim.waitForServerEvent("exit", 10000, kSecond));
    QTRY_VERIFY(!second);
    QCOMPARE(others.count(), 0);
    QCOMPARE(window.serial(), kFirst);
    QVERIFY(qobject_cast<VideoForm*>(window.centralWidget()));
    dialog->close();
}

void TestDeviceWindows::closingAWindowEndsOnlyItsDevice()
{
    SimDevice sim(false);
    addDevices(sim);
    LaunchOptions options;
    options.serial = kFirst;
    MainWindow window(options);
    DeviceWindows others(&window, options);
    showFirst(window);
    QPointer<DeviceWindow> second = mirrorSecond(others, options);
    QVERIFY(second);

    QVERIFY(second->close());
    QVERIFY(!registry().getDevice(kSecond));
    QVERIFY(sim.waitForServerEvent("exit", 10000, kSecond));
    QTRY_VERIFY(!second);
    QVERIFY(registry().getDevice(kFirst));
    QCOMPARE(window.serial(), kFirst);

    // Coming back, it gets a window again, which stays when the main window's device ends.
    QVERIFY(mirrorSecond(others, options));
    QVERIFY(registry().disconnectDevice(kFirst));
    QVERIFY(qobject_cast<LogoWidget*>(window.centralWidget()));
    QVERIFY(others.windowOf(kSecond)->isVisible());
}

void TestDeviceWindows::noticesGoToTheDevicesWindow()
{
    SimDevice sim(false);
    addDevices(sim);
    LaunchOptions options;
    options.serial = kFirst;
    MainWindow window(options);
    DeviceWindows others(&window, options);
    showFirst(window);
    DeviceWindow* second = mirrorSecond(others, options);
    QVERIFY(second);

    const QString dropped = DeviceWindow::noticeText(kSecond, dvk::IDevice::NOTICE_TEXT_DROPPED, QString());
    emit registry().getDevice(kSecond)->deviceNotice(kSecond, dvk::IDevice::NOTICE_TEXT_DROPPED, QString());
    QVERIFY(noticeShown(second, dropped));
    QVERIFY(!noticeShown(&window, dropped));
    // A device no window shows is told in the main window.
    const QString failed = DeviceWindow::noticeText("GONE1", dvk::IDevice::NOTICE_FAILED, "no such device");
    emit registry().deviceNotice("GONE1", dvk::IDevice::NOTICE_FAILED, "no such device");
    QVERIFY(noticeShown(&window, failed));
    QVERIFY(!noticeShown(second, failed));
}

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.path()));
    QApplication app(argc, argv);
    TestDeviceWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_devicewindows.moc"

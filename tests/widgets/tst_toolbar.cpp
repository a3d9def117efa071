#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

#include "AppPath.h"
#include "DropTip.h"
#include "KeymapMenu.h"
#include "NoticePopup.h"
#include "ScriptFile.h"
#include "SimDevice.h"
#include "SimDeviceParams.h"
#include "StatementDialog.h"
#include "ToolBar.h"
#include "ToolButton.h"
#include "ToolMenuMore.h"
#include "VersionDialog.h"
#include "SettingDialog.h"
#include "adb/AdbProcess.h"
#include "device/DeviceObserver.h"
#include "device/IDeviceManage.h"
#include "group/GroupController.h"

namespace {

class FrameCounter : public dvk::DeviceObserver
{
public:
    void onFrame(int, int, uint8_t*, uint8_t*, uint8_t*, int, int, int) override { ++frames; }
    std::atomic<int> frames{0};
};

QTemporaryDir* s_dir = nullptr;

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// The tool bar on a real display: its own widgets, then its actions on a simulated device.
class TestToolBar : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    // First: the desktop's opener, once found, is remembered for the rest of the process.
    void withoutOpenerOrTerminalNoticesSayWhere();
    void moreTogglesMenuAndOtherButtonsHideIt();
    void menuStaysOnTheMoreButton();
    void menuIsOpaqueAndKeymapListStaysInTheWindow();
    void menuEntriesOpenTheirDialogs_data();
    void menuEntriesOpenTheirDialogs();
    void adbOpensTerminalInAdbDirectory();
    void buttonKeepsPressedLookUntilLeft();
    void dropTipFollowsItsSize_data();
    void dropTipFollowsItsSize();
    void logcatFileIsNamedAfterHost();
    void withoutDeviceNothingReachesAdb();
    void actionsReachTheDevice();
    void settingsOpenOnEveryPhoneOfTheGroup();

private:
    bool connectSim(const SimDevice& sim);
    bool connectSim(const QString& serial);
    // Waits for a notice over the tool bar's window that says this (a text it starts with).
    bool waitForNotice(const QString& start) const;
    ToolButton* button(const QString& name) const { return m_toolBar->findChild<ToolButton*>(name); }
    ToolMenuMore* menu() const { return m_toolBar->findChild<ToolMenuMore*>(); }
    void click(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    ToolBar* m_toolBar = nullptr;
};

void TestToolBar::init()
{
    m_toolBar = new ToolBar(nullptr);
    m_toolBar->resize(205, 720);
    m_toolBar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_toolBar));
}

void TestToolBar::cleanup()
{
    delete m_toolBar;
    m_toolBar = nullptr;
}

bool TestToolBar::connectSim(const SimDevice& sim)
{
    return connectSim(sim.serial());
}

bool TestToolBar::connectSim(const QString& serial)
{
    const dvk::DeviceParams params = simParams(serial);
    auto& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);
    if (!registry.connectDevice(params) || !connected.wait(15000) || !connected.first().at(0).toBool()) {
        return false;
    }
    m_toolBar->setSerial(serial);
    return true;
}

bool TestToolBar::waitForNotice(const QString& start) const
{
    return QTest::qWaitFor(
        [&]() {
            for (NoticePopup* notice : m_toolBar->window()->findChildren<NoticePopup*>()) {
                if (notice->isVisible() && notice->text().startsWith(start)) {
                    return true;
                }
            }
            return false;
        },
        10000);
}

void TestToolBar::withoutOpenerOrTerminalNoticesSayWhere()
{
    // The system's folders only: no stand-in opener or terminal, and no real ones on this machine.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/usr/bin:/bin");
    const QString savedAdb = dvk::AdbProcess::getAdbPath();
    const auto restore = qScopeGuard([&]() {
        dvk::IDeviceManage::getInstance().disconnectAllDevice();
        QDir(getAppPath() + "/snapshot").removeRecursively();
        QDir(getAppPath() + "/logcat_output").removeRecursively();
        dvk::AdbProcess::setAdbPath(savedAdb);
        qputenv("PATH", path);
    });
    SimDevice sim;
    QVERIFY(sim.isValid());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    QVERIFY(connectSim(sim));
    FrameCounter counter;
    auto device = dvk::IDeviceManage::getInstance().getDevice(sim.serial());
    device->registerDeviceObserver(&counter);
    QTRY_VERIFY_WITH_TIMEOUT(counter.frames > 0, 10000);
    device->deRegisterDeviceObserver(&counter);

    click("snapshot");
    QTRY_COMPARE(QDir(getAppPath() + "/snapshot").entryList({sim.serial() + "_*.png"}).size(), 1);
    const QString shot = QDir(getAppPath() + "/snapshot").entryList({sim.serial() + "_*.png"}).first();
    QVERIFY(waitForNotice("Snapshot saved; no program could open it:\n" + getAppPath() + "/snapshot/" + shot));

    click("logcat");
    QVERIFY(waitForNotice("LOGCAT saved; no program could open it:\n" + getAppPath() + "/logcat_output/" + sim.serial()));

    click("adb");
    QVERIFY(waitForNotice("No terminal found; tried x-terminal-emulator and xterm"));
    // None of the notices took the keyboard from the window.
    for (NoticePopup* notice : m_toolBar->findChildren<NoticePopup*>()) {
        QVERIFY(!notice->isActiveWindow());
    }
}

void TestToolBar::moreTogglesMenuAndOtherButtonsHideIt()
{
    QVERIFY(!menu());
    click("more");
    QVERIFY(menu() && menu()->isVisible());
    click("more");
    QVERIFY(!menu()->isVisible());

    for (const QString& other : QStringList{"home", "back", "setting", "snapshot", "uninstall", "recent", "logcat"}) {
        click("more");
        QVERIFY(menu()->isVisible());
        click(other);
        QVERIFY2(!menu()->isVisible(), qPrintable(other));
    }
}

void TestToolBar::menuStaysOnTheMoreButton()
{
    click("more");
    const auto moreTop = [this]() { return button("more")->mapTo(m_toolBar, QPoint(0, 0)).y(); };
    QCOMPARE(menu()->geometry().bottom() + 1, moreTop());
    QCOMPARE(menu()->x(), 7);
    m_toolBar->resize(205, 900);
    QTRY_COMPARE(menu()->geometry().bottom() + 1, moreTop());
}

void TestToolBar::menuIsOpaqueAndKeymapListStaysInTheWindow()
{
    click("more");
    // Drawn on its own over nothing, the menu covers every pixel inside its rounded corners.
    QImage alone(menu()->size(), QImage::Format_ARGB32);
    alone.fill(Qt::transparent);
    menu()->render(&alone, QPoint(), QRegion(), QWidget::DrawChildren);
    for (int y = 6; y < alone.height() - 6; ++y) {
        for (int x = 6; x < alone.width() - 6; ++x) {
            QVERIFY2(qAlpha(alone.pixel(x, y)) == 255, qPrintable(QString("see-through at %1, %2").arg(x).arg(y)));
        }
    }

    // The keymap list opens beside the menu, inside the window, in the tool bar's colours.
    QTest::mouseClick(menu()->findChild<QPushButton*>("btKeymap"), Qt::LeftButton);
    auto* list = m_toolBar->findChild<KeymapMenu*>();
    QTRY_VERIFY(list && list->isVisible());
    const QRect window(m_toolBar->mapToGlobal(QPoint(0, 0)), m_toolBar->size());
    QVERIFY2(window.contains(list->geometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                  .arg(list->x())
                                                                  .arg(list->y())
                                                                  .arg(list->width())
                                                                  .arg(list->height())));
    const QImage look = list->grab().toImage();
    QCOMPARE(QColor(look.pixel(look.width() / 2, look.height() - 3)), QColor("#1B2845"));
    list->hide();
}

void TestToolBar::menuEntriesOpenTheirDialogs_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("adb location") << "btAdb" << "SettingDialog";
    QTest::newRow("statement") << "btStatement" << "StatementDialog";
    QTest::newRow("version") << "btVersion" << "VersionDialog";
}

void TestToolBar::menuEntriesOpenTheirDialogs()
{
    QFETCH(QString, entry);
    QFETCH(QString, dialog);
    click("more");
    QString opened;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&]() {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        opened = modal->objectName();
        parent = modal->parentWidget();
        static_cast<QDialog*>(modal)->close();
    });
    QTest::mouseClick(menu()->findChild<QPushButton*>(entry), Qt::LeftButton);
    QCOMPARE(opened, dialog);
    QCOMPARE(parent, static_cast<QWidget*>(m_toolBar));
    QVERIFY(!menu()->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestToolBar::adbOpensTerminalInAdbDirectory()
{
    const QString adbDir = s_dir->filePath("adb-home");
    QDir().mkpath(adbDir);
    const QString savedAdb = dvk::AdbProcess::getAdbPath();
    dvk::AdbProcess::setAdbPath(adbDir + "/adb");
    const QString before = QDir::currentPath();
    const QString mark = s_dir->filePath("terminal.cwd");

    click("adb");
    dvk::AdbProcess::setAdbPath(savedAdb);
    QCOMPARE(QDir::currentPath(), before);
    QTRY_VERIFY(QFile::exists(mark));
    QCOMPARE(readFile(mark).trimmed(), QFileInfo(adbDir).canonicalFilePath());
    QFile::remove(mark);
}

void TestToolBar::buttonKeepsPressedLookUntilLeft()
{
    ToolButton* home = button("home");
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(home, &enter);
    QCOMPARE(home->look(), ToolButton::LookHover);
    QTest::mousePress(home, Qt::LeftButton);
    QCOMPARE(home->look(), ToolButton::LookPressed);
    QTest::mouseRelease(home, Qt::LeftButton);
    QCOMPARE(home->look(), ToolButton::LookPressed);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(home, &leave);
    QCOMPARE(home->look(), ToolButton::LookNormal);
}

void TestToolBar::dropTipFollowsItsSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("background");
    QTest::addColumn<QSize>("text");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("room enough") << QSize(205, 110) << QSize(186, 97) << QSize(120, 70) << 13;
    // Wide and low: the height decides.
    QTest::newRow("low") << QSize(200, 50) << QSize(95, 50) << QSize(61, 36) << 7;
    // Narrow: the width decides.
    QTest::newRow("narrow") << QSize(93, 110) << QSize(93, 48) << QSize(60, 35) << 7;
    // No height at all draws nothing but must not fail.
    QTest::newRow("no height") << QSize(150, 0) << QSize(150, 78) << QSize(96, 56) << 12;
}

void TestToolBar::dropTipFollowsItsSize()
{
    QFETCH(QSize, size);
    QFETCH(QSize, background);
    QFETCH(QSize, text);
    QFETCH(int, pixelSize);
    DropTip tip(nullptr);
    tip.resize(size);
    tip.show();
    QTRY_COMPARE(tip.backgroundSize(), background);
    QCOMPARE(tip.textSize(), text);
    QCOMPARE(tip.textPixelSize(), pixelSize);
}

void TestToolBar::logcatFileIsNamedAfterHost()
{
    const QString folder = getAppPath() + "/logcat_output/";
    const QRegularExpression stamp("^_\\d{8}_\\d{6}_\\d{3}\\.log$");
    for (const QString& serial : QStringList{"192.168.1.5:5555", "SIM0001"}) {
        const QString path = ToolBar::logcatFilePath(serial);
        const QString host = serial.section(':', 0, 0);
        QVERIFY2(path.startsWith(folder + host + "_"), qPrintable(path));
        QVERIFY2(stamp.match(path.mid(folder.size() + host.size())).hasMatch(), qPrintable(path));
    }
}

void TestToolBar::withoutDeviceNothingReachesAdb()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    const QString saved = dvk::AdbProcess::getAdbPath();
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    m_toolBar->setSerial(sim.serial());
    for (const QString& name : QStringList{"home", "back", "recent", "snapshot", "setting", "uninstall", "logcat"}) {
        click(name);
    }
    // Something that does run, to know the log is current when it is read.
    dvk::AdbProcess probe;
    QSignalSpy done(&probe, &dvk::AdbProcess::adbProcessResult);
    probe.execute(QString(), {"version"});
    QTRY_COMPARE(done.count(), 2);
    dvk::AdbProcess::setAdbPath(saved);
    const QList<QJsonObject> calls = sim.invocations();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first().value("argv").toArray(), QJsonArray({"version"}));
    QVERIFY(!QDir(getAppPath() + "/logcat_output").exists());
}

void TestToolBar::actionsReachTheDevice()
{
    SimDevice sim;
    QVERIFY(sim.isValid());
    // An adb that takes its time over logcat, so that the window is seen to go on meanwhile.
    const QString slowAdb = s_dir->filePath("slow-adb");
    writeScript(slowAdb, QString("case \" $* \" in *\" logcat \"*) sleep 2;; esac\nexec '%1' \"$@\"")
                             .arg(SimDevice::adbPath()));
    const QString saved = dvk::AdbProcess::getAdbPath();
    dvk::AdbProcess::setAdbPath(slowAdb);

    const dvk::DeviceParams params = simParams(sim.serial());
    auto& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);
    QVERIFY(registry.connectDevice(params));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 15000);
    QVERIFY(connected.first().at(0).toBool());
    FrameCounter counter;
    registry.getDevice(sim.serial())->registerDeviceObserver(&counter);
    m_toolBar->setSerial(sim.serial());

    // Hardware keys: home, back, app switch, each pressed and released.
    click("home");
    click("back");
    click("recent");
    QVERIFY(sim.waitForControlLog(6));
    QList<int> keys;
    for (const QJsonObject& message : sim.controlLog()) {
        keys << message.value("keycode").toInt();
    }
    QCOMPARE(keys, QList<int>({3, 3, 4, 4, 187, 187}));

    // Each command as adb received it; the tool bar's runner takes one command at a time.
    const auto ran = [&sim](const QJsonArray& argv) {
        for (const QJsonObject& call : sim.invocations()) {
            if (call.value("argv").toArray() == argv && call.contains("exit")) {
                return true;
            }
        }
        return false;
    };
    const QJsonArray settings{"-s", sim.serial(), "shell", "am", "start",
                              "com.android.settings/com.android.settings.Settings"};
    const QJsonArray uninstall{"-s", sim.serial(), "shell", "am", "broadcast", "-a",
                               "com.zel.launcher.action.uninstall", "--es", "command",
                               QString::fromUtf8("\"卸载应用\"")};
    click("setting");
    QTRY_VERIFY(ran(settings));
    for (int i = 0; i < 10 && !ran(uninstall); ++i) {
        click("uninstall");
        QTest::qWait(500);
    }
    QVERIFY(ran(uninstall));

    click("snapshot");
    QTRY_COMPARE(QDir(getAppPath() + "/snapshot").entryList({sim.serial() + "_*.png"}).size(), 1);

    const QString logFolder = getAppPath() + "/logcat_output";
    const int framesBefore = counter.frames;
    click("logcat");
    QTRY_COMPARE_WITH_TIMEOUT(QDir(logFolder).entryList({sim.serial() + "_*.log"}).size(), 1, 15000);
    QVERIFY2(counter.frames - framesBefore >= 10, qPrintable(QString::number(counter.frames - framesBefore)));
    const QString dump = QDir(logFolder).entryList({sim.serial() + "_*.log"}).first();
    QCOMPARE(readFile(logFolder + "/" + dump), sim.runAdb({"-s", sim.serial(), "logcat", "-d"}).out.trimmed() + "\n");
    // Opened with the desktop's default application.
    QTRY_VERIFY(readFile(s_dir->filePath("opened")).contains(dump));
    QVERIFY(waitForNotice("LOGCAT saved: " + dump));

    registry.getDevice(sim.serial())->deRegisterDeviceObserver(&counter);
    registry.disconnectAllDevice();
    dvk::AdbProcess::setAdbPath(saved);
}

void TestToolBar::settingsOpenOnEveryPhoneOfTheGroup()
{
    SimDevice sim(false);
    const QString savedAdb = dvk::AdbProcess::getAdbPath();
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    const QStringList serials{"TBARA", "TBARB"};
    for (const QString& serial : serials) {
        SimDevice::Options options;
        options.serial = serial;
        QVERIFY(sim.addDevice(options));
        QVERIFY(connectSim(serial));
    }
    dvk::GroupController::instance().setEnabled(true);
    m_toolBar->setSerial(serials.first());

    click("setting");
    const auto opened = [&sim](const QString& serial) {
        const QJsonArray argv{"-s", serial, "shell", "am", "start", "com.android.settings/com.android.settings.Settings"};
        for (const QJsonObject& call : sim.invocations()) {
            if (call.value("argv").toArray() == argv && call.contains("exit")) {
                return true;
            }
        }
        return false;
    };
    QTRY_VERIFY(opened(serials.at(0)));
    QTRY_VERIFY(opened(serials.at(1)));

    dvk::GroupController::instance().setEnabled(false);
    dvk::IDeviceManage::getInstance().disconnectAllDevice();
    dvk::AdbProcess::setAdbPath(savedAdb);
}

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    s_dir = &dir;
    setAppPath(dir.filePath("data"));
    // The desktop's opener and terminal, replaced by ones that say what they were asked.
    const QString bin = dir.filePath("bin");
    QDir().mkpath(bin);
    writeScript(bin + "/xdg-open", QString("echo \"$1\" >> '%1'").arg(dir.filePath("opened")));
    writeScript(bin + "/x-terminal-emulator", QString("pwd -P > '%1'").arg(dir.filePath("terminal.cwd")));
    qputenv("PATH", QFile::encodeName(bin) + ":" + qgetenv("PATH"));
    qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.filePath("config")));

    QApplication app(argc, argv);
    TestToolBar test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_toolbar.moc"

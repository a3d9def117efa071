#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "AppFiles.h"
#include "ConnectionParams.h"
#include "DocPicture.h"
#include "DevicesDialog.h"
#include "LaunchOptions.h"
#include "MainWindow.h"
#include "ScriptFile.h"
#include "SimDevice.h"
#include "ToolBar.h"
#include "ToolButton.h"
#include "ToolMenuMore.h"
#include "VideoForm.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"
#include "group/GroupController.h"

namespace {

enum Column { Serial, Model, State, Mirrored };

const QString kReady = "R58M41QZXYA";
const QString kUnauthorized = "HT7A1B203456";
const QString kOffline = "192.168.1.23:5555";
// Android's key code of the letter D, which Ctrl+D must not hand to the phone.
const int kKeycodeD = 32;
const int kKeycodeA = 29;

QTemporaryDir* s_dir = nullptr;

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

SimDevice::Options phone(const QString& serial, const QString& state, const QString& model = "SimPhone")
{
    SimDevice::Options options;
    options.serial = serial;
    options.state = state;
    options.model = model;
    return options;
}

// A ready phone, one waiting for its USB debugging prompt and one whose cable is loose.
bool addThreePhones(SimDevice& sim)
{
    return sim.addDevice(phone(kReady, "device", "Merivo K310")) && sim.addDevice(phone(kUnauthorized, "unauthorized"))
        && sim.addDevice(phone(kOffline, "offline"));
}

QTableWidget* table(DevicesDialog* dialog)
{
    return dialog->findChild<QTableWidget*>("table");
}

QStringList rowSerials(DevicesDialog* dialog)
{
    QStringList serials;
    for (int row = 0; row < table(dialog)->rowCount(); ++row) {
        QTableWidgetItem* item = table(dialog)->item(row, Serial);
        serials << (item ? item->text() : QString());
    }
    return serials;
}

QString cell(DevicesDialog* dialog, const QString& serial, int column)
{
    const int row = rowSerials(dialog).indexOf(serial);
    QTableWidgetItem* item = row < 0 ? nullptr : table(dialog)->item(row, column);
    return item ? item->text() : QString();
}

QWidget* actionCell(DevicesDialog* dialog, const QString& serial)
{
    return dialog->findChild<QWidget*>("action:" + serial);
}

QString hint(DevicesDialog* dialog, const QString& serial)
{
    QWidget* action = actionCell(dialog, serial);
    auto* label = action ? action->findChild<QLabel*>("labelHint") : nullptr;
    return label && !label->isHidden() ? label->text() : QString();
}

int countCalls(const SimDevice& sim, const QStringList& args)
{
    int count = 0;
    for (const QJsonObject& call : sim.invocations()) {
        QStringList argv;
        for (const QJsonValue& word : call.value("argv").toArray()) {
            argv << word.toString();
        }
        count += argv.join(' ').endsWith(args.join(' ')) ? 1 : 0;
    }
    return count;
}

int serverEvents(const SimDevice& sim, const QString& serial, const QString& event)
{
    int count = 0;
    for (const QJsonObject& line : sim.serverLog(serial)) {
        count += line.value("event").toString() == event ? 1 : 0;
    }
    return count;
}

QList<DevicesDialog*> openDialogs()
{
    QList<DevicesDialog*> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<DevicesDialog*>(widget);
        if (dialog && dialog->isVisible()) {
            open << dialog;
        }
    }
    return open;
}

} // namespace

// The list of devices on a real display, against simulated phones in every state adb reports.
class TestDevicesDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listsEveryDeviceWithWhatToDo();
    void rowsStayInPlaceAsDevicesComeAndGo();
    void listingsNeverOverlap();
    void mirrorStartsTheDeviceAndStopEndsIt();
    void groupControlFollowsTheControllerBothWays();
    void opensOnceFromCtrlDAndFromTheMoreMenu();
    void pictured_data();
    void pictured();
};

void TestDevicesDialog::init()
{
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
}

void TestDevicesDialog::cleanup()
{
    for (DevicesDialog* dialog : openDialogs()) {
        dialog->close();
    }
    registry().disconnectAllDevice();
    dvk::GroupController::instance().setEnabled(false);
    // Deferred deletions of closed dialogs and ended devices.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestDevicesDialog::listsEveryDeviceWithWhatToDo()
{
    SimDevice sim(false);
    QVERIFY(addThreePhones(sim));
    QPointer<DevicesDialog> dialog = DevicesDialog::showFor(nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    QTRY_COMPARE_WITH_TIMEOUT(rowSerials(dialog), (QStringList{kReady, kUnauthorized, kOffline}), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(cell(dialog, kReady, Model), QString("Merivo K310"), 10000);
    QCOMPARE(cell(dialog, kReady, State), QString("Ready"));
    QCOMPARE(cell(dialog, kUnauthorized, State), QString("Unauthorized"));
    QCOMPARE(cell(dialog, kOffline, State), QString("Offline"));
    for (const QString& serial : {kReady, kUnauthorized, kOffline}) {
        QCOMPARE(cell(dialog, serial, Mirrored), QString("No"));
    }
    // Only the ready phone can be mirrored; the others say what to do instead.
    QVERIFY(dialog->mirrorButton(kReady) && dialog->mirrorButton(kReady)->text() == "Mirror");
    QVERIFY(hint(dialog, kReady).isEmpty());
    QVERIFY(!dialog->mirrorButton(kUnauthorized));
    QCOMPARE(hint(dialog, kUnauthorized), QString("Accept the USB debugging prompt on the phone"));
    QVERIFY(!dialog->mirrorButton(kOffline));
    QCOMPARE(hint(dialog, kOffline), QString("Reconnect the cable"));

    // Every refresh lists again, but the model is asked once, and only of the ready phone.
    const int listings = countCalls(sim, {"devices", "-l"});
    QTRY_VERIFY_WITH_TIMEOUT(countCalls(sim, {"devices", "-l"}) >= listings + 2, 10000);
    QCOMPARE(countCalls(sim, {"-s", kReady, "shell", "getprop", "ro.product.model"}), 1);
    QCOMPARE(countCalls(sim, {"getprop", "ro.product.model"}), 1);
}

void TestDevicesDialog::rowsStayInPlaceAsDevicesComeAndGo()
{
    SimDevice sim(false);
    QVERIFY(addThreePhones(sim));
    QPointer<DevicesDialog> dialog = DevicesDialog::showFor(nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(rowSerials(dialog).size(), 3, 10000);
    const QPointer<QWidget> firstAction = actionCell(dialog, kReady);
    const QPointer<QWidget> secondAction = actionCell(dialog, kUnauthorized);

    // The prompt accepted: the same row turns ready, in the same place, and learns its model.
    QVERIFY(sim.setProperty(kUnauthorized, "state", "device"));
    QVERIFY(sim.setProperty(kUnauthorized, "model", "Tarsa 9"));
    QTRY_COMPARE_WITH_TIMEOUT(cell(dialog, kUnauthorized, Model), QString("Tarsa 9"), 10000);
    QCOMPARE(cell(dialog, kUnauthorized, State), QString("Ready"));
    QVERIFY(hint(dialog, kUnauthorized).isEmpty());
    QVERIFY(dialog->mirrorButton(kUnauthorized));

    // A new phone comes last; one unplugged loses its row; the others keep theirs, not rebuilt.
    QVERIFY(sim.addDevice(phone("SIM0009", "device")));
    QVERIFY(sim.runAdb({"sim", "remove", kOffline}).exitCode == 0);
    QTRY_COMPARE_WITH_TIMEOUT(rowSerials(dialog), (QStringList{kReady, kUnauthorized, "SIM0009"}), 10000);
    QCOMPARE(actionCell(dialog, kReady), firstAction.data());
    QCOMPARE(actionCell(dialog, kUnauthorized), secondAction.data());
}

// An adb that takes longer than the refresh interval to list: each tick finds the last listing
// running and leaves it be; the next starts once it has answered.
void TestDevicesDialog::listingsNeverOverlap()
{
    SimDevice sim(false);
    QVERIFY(sim.addDevice(phone(kReady, "device")));
    const QString marks = s_dir->filePath("listings.txt");
    const QString slowAdb = s_dir->filePath("slow-adb");
    QVERIFY(writeScript(slowAdb, QString("if [ \"$1\" = devices ]; then\n"
                                         "  echo start >> '%1'; sleep 2.5; '%2' \"$@\"; rc=$?; echo end >> '%1'; exit $rc\n"
                                         "fi\n"
                                         "exec '%2' \"$@\"")
                                     .arg(marks, SimDevice::adbPath())));
    dvk::AdbProcess::setAdbPath(slowAdb);
    const auto lines = [&marks]() {
        QFile file(marks);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                              : QStringList();
    };

    QPointer<DevicesDialog> dialog = DevicesDialog::showFor(nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(lines().count("end") >= 3, 20000);
    QCOMPARE(rowSerials(dialog), QStringList{kReady});
    dialog->close();
    // The listing under way when the dialog closed runs to its end.
    QTRY_VERIFY_WITH_TIMEOUT(lines().count("start") == lines().count("end"), 10000);
    const QStringList seen = lines();
    for (int i = 0; i < seen.size(); ++i) {
        QVERIFY2(seen[i] == (i % 2 == 0 ? "start" : "end"), qPrintable(seen.join(' ')));
    }
}

void TestDevicesDialog::mirrorStartsTheDeviceAndStopEndsIt()
{
    SimDevice sim(false);
    QVERIFY(sim.addDevice(phone(kReady, "device")));
    QPointer<DevicesDialog> dialog = DevicesDialog::showFor(nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->mirrorButton(kReady), 10000);

    QTest::mouseClick(dialog->mirrorButton(kReady), Qt::LeftButton);
    QVERIFY(sim.waitForServerEvent("connected", 20000, kReady));
    QVERIFY(registry().getDevice(kReady));
    QTRY_COMPARE(cell(dialog, kReady, Mirrored), QString("Yes"));
    QCOMPARE(dialog->mirrorButton(kReady)->text(), QString("Stop"));

    QTest::mouseClick(dialog->mirrorButton(kReady), Qt::LeftButton);
    QVERIFY(!registry().getDevice(kReady));
    QVERIFY(sim.waitForServerEvent("exit", 10000, kReady));
    QCOMPARE(cell(dialog, kReady, Mirrored), QString("No"));
    QCOMPARE(dialog->mirrorButton(kReady)->text(), QString("Mirror"));

    // A device ended elsewhere shows as not mirrored without waiting for the next listing.
    QTest::mouseClick(dialog->mirrorButton(kReady), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(serverEvents(sim, kReady, "connected") == 2, 20000);
    QCOMPARE(cell(dialog, kReady, Mirrored), QString("Yes"));
    QSignalSpy ended(&registry(), &dvk::IDeviceManage::deviceDisconnected);
    QVERIFY(sim.setProperty(kReady, "state", "offline"));
    QVERIFY(ended.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(cell(dialog, kReady, Mirrored), QString("No"), 500);
}

void TestDevicesDialog::groupControlFollowsTheControllerBothWays()
{
    auto& group = dvk::GroupController::instance();
    DevicesDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* check = dialog.findChild<QCheckBox*>("checkGroup");
    QCOMPARE(check->text(), QString("Group control"));
    QVERIFY(!check->isChecked());

    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(9, check->height() / 2));
    QVERIFY(group.isEnabled());
    group.setEnabled(false);
    QVERIFY(!check->isChecked());
    group.setEnabled(true);
    QVERIFY(check->isChecked());
    DevicesDialog another;
    QVERIFY(another.findChild<QCheckBox*>("checkGroup")->isChecked());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(9, check->height() / 2));
    QVERIFY(!group.isEnabled());
    QVERIFY(!another.findChild<QCheckBox*>("checkGroup")->isChecked());
}

void TestDevicesDialog::opensOnceFromCtrlDAndFromTheMoreMenu()
{
    SimDevice sim(false);
    QVERIFY(sim.addDevice(phone(kReady, "device")));
    MainWindow window(LaunchOptions::current());
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<VideoForm*>(window.centralWidget()), 20000);
    QVERIFY(sim.waitForServerEvent("connected", 10000, kReady));
    auto* form = qobject_cast<VideoForm*>(window.centralWidget());

    QTest::keyClick(form, Qt::Key_D, Qt::ControlModifier);
    QTRY_COMPARE(openDialogs().size(), 1);
    QPointer<DevicesDialog> dialog = openDialogs().first();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(form, Qt::Key_D, Qt::ControlModifier);
    QTRY_VERIFY(dialog->isActiveWindow());
    QCOMPARE(openDialogs().size(), 1);

    // Keys still reach the phone, but the D of the shortcut never did.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(form, Qt::Key_A);
    const auto keycodes = [&sim]() {
        QList<int> codes;
        for (const QJsonObject& message : sim.controlLog(kReady)) {
            if (message.value("type").toInt() == 0) {
                codes << message.value("keycode").toInt();
            }
        }
        return codes;
    };
    QTRY_VERIFY_WITH_TIMEOUT(keycodes().contains(kKeycodeA), 5000);
    QVERIFY2(!keycodes().contains(kKeycodeD), qPrintable(QString("key codes %1").arg(QVariant::fromValue(keycodes()).toString())));

    QTest::mouseClick(dialog->findChild<QPushButton*>("buttonClose"), Qt::LeftButton);
    QTRY_VERIFY(!dialog);

    auto* bar = window.findChild<ToolBar*>();
    QTest::mouseClick(bar->findChild<ToolButton*>("more"), Qt::LeftButton);
    auto* menu = bar->findChild<ToolMenuMore*>();
    QTRY_VERIFY(menu && menu->isVisible());
    QTest::mouseClick(menu->findChild<QPushButton*>("btDevices"), Qt::LeftButton);
    QTRY_COMPARE(openDialogs().size(), 1);
    QVERIFY(!menu->isVisible());
    // The listing shows the phone the window mirrors as mirrored.
    QTRY_COMPARE_WITH_TIMEOUT(cell(openDialogs().first(), kReady, Mirrored), QString("Yes"), 10000);
}

// The dialog for the documentation: a mirrored phone, an unauthorized and an offline one.
void TestDevicesDialog::pictured_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en";
    QTest::newRow("Chinese") << "zh";
}

void TestDevicesDialog::pictured()
{
    QFETCH(QString, language);
    CatalogueInUse catalogue(language);
    QVERIFY(catalogue.isLoaded());

    SimDevice sim(false);
    QVERIFY(addThreePhones(sim));
    QVERIFY(registry().connectDevice(connectionParams(kReady, AppFiles::serverFile(), LaunchOptions::current())));
    QVERIFY(sim.waitForServerEvent("connected", 20000, kReady));
    dvk::GroupController::instance().setEnabled(true);
    DevicesDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_COMPARE_WITH_TIMEOUT(cell(&dialog, kReady, Model), QString("Merivo K310"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(rowSerials(&dialog).size(), 3, 10000);
    if (language == "zh") {
        QCOMPARE(dialog.findChild<QCheckBox*>("checkGroup")->text(), QString::fromUtf8("群控"));
        QCOMPARE(hint(&dialog, kOffline), QString::fromUtf8("请重新插拔数据线"));
    }
    QTest::qWait(200);
    // The panel shows through the list below its rows, as through the rest of the dialog.
    const QImage look = dialog.grab().toImage();
    const QRect list = table(&dialog)->geometry().translated(table(&dialog)->parentWidget()->pos());
    QCOMPARE(look.pixel(list.left() + 10, list.bottom() - 10), look.pixel(list.left() + 10, list.bottom() + 10));
    QVERIFY(saveDocPicture(dialog, language, "devices"));
}

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    s_dir = &dir;
    QDir(dir.path()).mkdir("config");
    qputenv("VADIZEDE_CONFIG_PATH", QFile::encodeName(dir.filePath("config")));
    qputenv("VADIZEDE_SERVER_PATH", QFile::encodeName(SimDevice::serverFilePath()));
    // Connections made through the dialog and the window take a port of their own.
    LaunchOptions options;
    options.port = SimDevice::freePort();
    options.maxFps = 30;
    LaunchOptions::setCurrent(options);

    QApplication app(argc, argv);
    TestDevicesDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_devicesdialog.moc"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QSignalSpy>
#include <QtTest>

#include "SimDeviceParams.h"
#include "SimTestSetup.h"
#include "device/IDeviceManage.h"
#include "group/GroupController.h"

using namespace dvk;

namespace {

const QString kSerialA = QStringLiteral("GROUPA");
const QString kSerialB = QStringLiteral("GROUPB");
// Android's volume-down key: every case ends by sending it, and waits for it to arrive.
constexpr int kMarkerKeycode = 25;

// The names of a control log's lines, with the key code for keys.
QStringList namesOf(const QList<QJsonObject>& lines)
{
    QStringList names;
    for (const QJsonObject& line : lines) {
        const QString name = line.value("name").toString();
        names << (line.contains("keycode") ? name + ":" + QString::number(line.value("keycode").toInt()) : name);
    }
    return names;
}

// Two simulated phones of different sizes, mirrored through the process-wide registry, so the
// group controller follows them as it follows the application's.
class TwoPhones
{
public:
    TwoPhones() : sim(false)
    {
        addPhone(kSerialA, QSize(1080, 2400), 480);
        addPhone(kSerialB, QSize(720, 1280), 320);
    }

    ~TwoPhones()
    {
        IDeviceManage::getInstance().disconnectAllDevice();
        GroupController::instance().setEnabled(false);
    }

    TwoPhones(const TwoPhones&) = delete;
    TwoPhones& operator=(const TwoPhones&) = delete;

    // Connects the phone and waits for its report; remembers its frame size.
    bool connect(const QString& serial, const QString& keymap = QString())
    {
        IDeviceManage& registry = IDeviceManage::getInstance();
        QSignalSpy connected(&registry, &IDeviceManage::deviceConnected);
        DeviceParams params = simParams(serial);
        params.gameScript = keymap;
        if (!registry.connectDevice(params)) {
            return false;
        }
        if (!connected.wait(15000) || !connected.first().at(0).toBool()) {
            return false;
        }
        frames[serial] = connected.first().at(3).toSize();
        marks[serial] = sim.controlLog(serial).size();
        return true;
    }

    IDevice& device(const QString& serial) { return *IDeviceManage::getInstance().getDevice(serial); }

    // The messages the phone decoded since the last call, once the marker key's release is among them.
    QList<QJsonObject> newMessages(const QString& serial)
    {
        QList<QJsonObject> lines;
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            lines = sim.controlLog(serial).mid(marks.value(serial));
            if (hasMarkerRelease(lines)) {
                break;
            }
            QTest::qWait(20);
        }
        marks[serial] += lines.size();
        return lines;
    }

    // A shown size of A's ratio, larger than its frame, as a window would show it.
    QSize shownA() const { return frames.value(kSerialA) * 2; }

    SimDevice sim;
    QMap<QString, QSize> frames;
    QMap<QString, int> marks;

private:
    void addPhone(const QString& serial, const QSize& screen, int sizeLimit)
    {
        SimDevice::Options options;
        options.serial = serial;
        options.screen = screen;
        options.sizeLimit = sizeLimit;
        sim.addDevice(options);
    }

    static bool hasMarkerRelease(const QList<QJsonObject>& lines)
    {
        return std::any_of(lines.begin(), lines.end(), [](const QJsonObject& line) {
            return line.value("keycode").toInt() == kMarkerKeycode && line.value("action").toInt() == 1;
        });
    }
};

void sendMouse(IDevice& device, QEvent::Type type, const QPointF& pos, Qt::MouseButtons buttons, const QSize& frame,
               const QSize& shown)
{
    const QMouseEvent event(type, pos, Qt::LeftButton, buttons, Qt::NoModifier);
    device.mouseEvent(&event, frame, shown);
}

void sendKey(IDevice& device, int key, const QSize& frame = QSize(), const QSize& shown = QSize())
{
    const QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    const QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    device.keyEvent(&press, frame, shown);
    device.keyEvent(&release, frame, shown);
}

QList<QJsonObject> touchesIn(const QList<QJsonObject>& lines)
{
    QList<QJsonObject> touches;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(touches),
                 [](const QJsonObject& line) { return line.value("name").toString() == "INJECT_TOUCH"; });
    return touches;
}

} // namespace

class TestGroupController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void tapAtCentreLandsAtCentreOfEveryPhone();
    void keysShortcutsTextSwipeAndPasteArriveOnceOnBoth();
    void groupOffKeepsActionsOnTheirPhone();
    void gameModeGestureLandsOnEveryPhone();
    void phonesJoinOnConnectAndLeaveOnDisconnect();

private:
    SimTestSetup m_setup;
};

void TestGroupController::initTestCase()
{
    QVERIFY(m_setup.prepare());
}

void TestGroupController::init()
{
    m_setup.log->clear();
}

void TestGroupController::tapAtCentreLandsAtCentreOfEveryPhone()
{
    TwoPhones phones;
    QVERIFY(phones.connect(kSerialA));
    QVERIFY(phones.connect(kSerialB));
    QVERIFY(phones.frames[kSerialA] != phones.frames[kSerialB]);
    GroupController::instance().setEnabled(true);

    IDevice& a = phones.device(kSerialA);
    const QSize shown = phones.shownA();
    const QPointF centre(shown.width() / 2.0, shown.height() / 2.0);
    sendMouse(a, QEvent::MouseButtonPress, centre, Qt::LeftButton, phones.frames[kSerialA], shown);
    sendMouse(a, QEvent::MouseButtonRelease, centre, Qt::NoButton, phones.frames[kSerialA], shown);
    a.postVolumeDown();

    for (const QString& serial : {kSerialA, kSerialB}) {
        const QList<QJsonObject> touches = touchesIn(phones.newMessages(serial));
        const QSize frame = phones.frames[serial];
        QCOMPARE(touches.size(), 2);
        for (const QJsonObject& touch : touches) {
            QCOMPARE(QSize(touch.value("screenWidth").toInt(), touch.value("screenHeight").toInt()), frame);
            QCOMPARE(QPoint(touch.value("x").toInt(), touch.value("y").toInt()),
                     QPoint(frame.width() / 2, frame.height() / 2));
        }
        QCOMPARE(touches.at(0).value("action").toInt(), 0);
        QCOMPARE(touches.at(1).value("action").toInt(), 1);
    }
}

void TestGroupController::keysShortcutsTextSwipeAndPasteArriveOnceOnBoth()
{
    TwoPhones phones;
    QVERIFY(phones.connect(kSerialA));
    QVERIFY(phones.connect(kSerialB));
    GroupController::instance().setEnabled(true);
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted on both"));

    IDevice& a = phones.device(kSerialA);
    const QSize frame = phones.frames[kSerialA];
    const QSize shown = phones.shownA();
    sendKey(a, Qt::Key_Return);
    a.postGoHome();
    QString text = QStringLiteral("héllo");
    a.postTextInput(text);
    sendMouse(a, QEvent::MouseButtonPress, QPointF(10, 10), Qt::LeftButton, frame, shown);
    sendMouse(a, QEvent::MouseMove, QPointF(100, 200), Qt::LeftButton, frame, shown);
    sendMouse(a, QEvent::MouseButtonRelease, QPointF(200, 400), Qt::NoButton, frame, shown);
    a.setDeviceClipboard(true);
    const QWheelEvent wheel(QPointF(100, 200), QPointF(100, 200), QPoint(), QPoint(0, 120), Qt::NoButton,
                            Qt::NoModifier, Qt::NoScrollPhase, false);
    a.wheelEvent(&wheel, frame, shown);
    a.clipboardPaste();
    a.postVolumeDown();

    const QStringList expected{"INJECT_KEYCODE:66", "INJECT_KEYCODE:66", "INJECT_KEYCODE:3",  "INJECT_KEYCODE:3",
                               "INJECT_TEXT",       "INJECT_TOUCH",      "INJECT_TOUCH",      "INJECT_TOUCH",
                               "SET_CLIPBOARD",     "INJECT_SCROLL",     "INJECT_TEXT",       "INJECT_KEYCODE:25",
                               "INJECT_KEYCODE:25"};
    const QList<QJsonObject> onA = phones.newMessages(kSerialA);
    const QList<QJsonObject> onB = phones.newMessages(kSerialB);
    QCOMPARE(namesOf(onA), expected);
    QCOMPARE(namesOf(onB), expected);
    for (const QList<QJsonObject>& lines : {onA, onB}) {
        QCOMPARE(lines.at(4).value("text").toString(), QStringLiteral("héllo"));
        QCOMPARE(lines.at(8).value("text").toString(), QStringLiteral("pasted on both"));
        QVERIFY(lines.at(8).value("paste").toBool());
        QCOMPARE(lines.at(10).value("text").toString(), QStringLiteral("pasted on both"));
    }
    // The wheel turns at the same place of each screen too.
    const QJsonObject scrollB = onB.at(9);
    QCOMPARE(QSize(scrollB.value("screenWidth").toInt(), scrollB.value("screenHeight").toInt()),
             phones.frames[kSerialB]);
    QCOMPARE(QPoint(scrollB.value("x").toInt(), scrollB.value("y").toInt()),
             QPoint(qRound(phones.frames[kSerialB].width() * 100.0 / shown.width()),
                    qRound(phones.frames[kSerialB].height() * 200.0 / shown.height())));
    // The swipe ends at the same place of each screen: the bottom right quarter's corner.
    const QJsonObject endB = onB.at(7);
    QCOMPARE(QPoint(endB.value("x").toInt(), endB.value("y").toInt()),
             QPoint(phones.frames[kSerialB].width() * 200 / shown.width(),
                    phones.frames[kSerialB].height() * 400 / shown.height()));

    // B's own action comes back to A, once.
    phones.device(kSerialB).postGoBack();
    phones.device(kSerialB).postVolumeDown();
    const QStringList back{"INJECT_KEYCODE:4", "INJECT_KEYCODE:4", "INJECT_KEYCODE:25", "INJECT_KEYCODE:25"};
    QCOMPARE(namesOf(phones.newMessages(kSerialA)), back);
    QCOMPARE(namesOf(phones.newMessages(kSerialB)), back);
}

void TestGroupController::groupOffKeepsActionsOnTheirPhone()
{
    TwoPhones phones;
    QVERIFY(phones.connect(kSerialA));
    QVERIFY(phones.connect(kSerialB));
    QSignalSpy switched(&GroupController::instance(), &GroupController::enabledChanged);
    GroupController::instance().setEnabled(true);
    GroupController::instance().setEnabled(false);
    QCOMPARE(switched.count(), 2);
    QVERIFY(GroupController::instance().repeatTargets(kSerialA).isEmpty());

    IDevice& a = phones.device(kSerialA);
    sendKey(a, Qt::Key_Tab);
    a.postGoHome();
    a.postVolumeDown();
    // B's marker is posted after whatever A's actions could have sent it.
    phones.device(kSerialB).postVolumeDown();
    QCOMPARE(namesOf(phones.newMessages(kSerialA)),
             (QStringList{"INJECT_KEYCODE:61", "INJECT_KEYCODE:61", "INJECT_KEYCODE:3", "INJECT_KEYCODE:3",
                          "INJECT_KEYCODE:25", "INJECT_KEYCODE:25"}));
    QCOMPARE(namesOf(phones.newMessages(kSerialB)), (QStringList{"INJECT_KEYCODE:25", "INJECT_KEYCODE:25"}));
}

void TestGroupController::gameModeGestureLandsOnEveryPhone()
{
    QFile file(QStringLiteral(VADIZEDE_SOURCE_DIR "/keymap/arena-runner.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString keymap = QString::fromUtf8(file.readAll());
    TwoPhones phones;
    QVERIFY(phones.connect(kSerialA, keymap));
    QVERIFY(phones.connect(kSerialB, keymap));
    GroupController::instance().setEnabled(true);

    // The keymap's switch key is a key like any other: both phones go into game mode.
    IDevice& a = phones.device(kSerialA);
    sendKey(a, Qt::Key_QuoteLeft, phones.frames[kSerialA], phones.shownA());
    QVERIFY(a.isCurrentCustomKeymap());
    QVERIFY(phones.device(kSerialB).isCurrentCustomKeymap());
    // Jump: a touch at the keymap's place, on each phone's own frame.
    sendKey(a, Qt::Key_Space, phones.frames[kSerialA], phones.shownA());
    a.postVolumeDown();

    for (const QString& serial : {kSerialA, kSerialB}) {
        const QList<QJsonObject> touches = touchesIn(phones.newMessages(serial));
        const QSize frame = phones.frames[serial];
        QCOMPARE(touches.size(), 2);
        const QJsonObject down = touches.first();
        QCOMPARE(QSize(down.value("screenWidth").toInt(), down.value("screenHeight").toInt()), frame);
        QCOMPARE(down.value("x").toInt(), qRound(0.93 * frame.width()));
        QCOMPARE(down.value("y").toInt(), qRound(0.80 * frame.height()));
    }
}

void TestGroupController::phonesJoinOnConnectAndLeaveOnDisconnect()
{
    TwoPhones phones;
    GroupController& group = GroupController::instance();
    group.setEnabled(true);
    QVERIFY(phones.connect(kSerialA));
    QCOMPARE(group.serials(), QStringList{kSerialA});
    QVERIFY(group.repeatTargets(kSerialA).isEmpty());

    // Joins while the group is on, and takes part at once.
    QVERIFY(phones.connect(kSerialB));
    QCOMPARE(group.serials(), (QStringList{kSerialA, kSerialB}));
    QCOMPARE(group.repeatTargets(kSerialA), QStringList{kSerialB});
    phones.device(kSerialA).postAppSwitch();
    phones.device(kSerialA).postVolumeDown();
    const QStringList appSwitch{"INJECT_KEYCODE:187", "INJECT_KEYCODE:187", "INJECT_KEYCODE:25", "INJECT_KEYCODE:25"};
    QCOMPARE(namesOf(phones.newMessages(kSerialA)), appSwitch);
    QCOMPARE(namesOf(phones.newMessages(kSerialB)), appSwitch);

    QVERIFY(IDeviceManage::getInstance().disconnectDevice(kSerialB));
    QCOMPARE(group.serials(), QStringList{kSerialA});
    // A goes on alone, as before B came.
    phones.device(kSerialA).postGoMenu();
    phones.device(kSerialA).postVolumeDown();
    QCOMPARE(namesOf(phones.newMessages(kSerialA)),
             (QStringList{"INJECT_KEYCODE:82", "INJECT_KEYCODE:82", "INJECT_KEYCODE:25", "INJECT_KEYCODE:25"}));
    QCOMPARE(m_setup.log->count("group control: " + kSerialB + " leaves"), 1);

    // A phone the device itself ends leaves as well.
    phones.sim.setProperty(kSerialA, "state", "offline");
    QTRY_VERIFY_WITH_TIMEOUT(group.serials().isEmpty(), 15000);
}

QTEST_MAIN(TestGroupController)
#include "tst_groupcontroller.moc"

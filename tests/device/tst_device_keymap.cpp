#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "AppPath.h"
#include "DeviceTestSupport.h"
#include "SimTestSetup.h"
#include "DeviceUnderTest.h"
#include "adb/AdbProcess.h"
#include "device/Device.h"
#include "server/Stream.h"

using namespace dvk;

namespace {

QList<QJsonObject> touchesOf(const SimDevice& sim)
{
    QList<QJsonObject> touches;
    for (const QJsonObject& line : sim.controlLog()) {
        if (line.value("name").toString() == "INJECT_TOUCH") {
            touches << line;
        }
    }
    return touches;
}

// A device mirrored with the shipped keymap, switched to game mode.
struct GameSession
{
    explicit GameSession(SimDevice& sim)
    {
        QFile keymap(QStringLiteral(VADIZEDE_SOURCE_DIR "/keymap/arena-runner.json"));
        if (!keymap.open(QIODevice::ReadOnly)) {
            return;
        }
        DeviceParams params = simParams(sim.serial());
        params.gameScript = QString::fromUtf8(keymap.readAll());
        test = std::make_unique<DeviceUnderTest>(params);
        device = &test->device;
        if (!test->connect()) {
            return;
        }
        frame = test->connected.first().at(3).toSize();
        shown = frame * 2;
        key(QEvent::KeyPress, Qt::Key_QuoteLeft);
        key(QEvent::KeyRelease, Qt::Key_QuoteLeft);
    }

    ~GameSession()
    {
        if (device) {
            device->disconnectDevice();
        }
    }

    bool inGame() const { return device && device->isCurrentCustomKeymap(); }

    void key(QEvent::Type type, int code, bool autoRepeat = false)
    {
        QKeyEvent event(type, code, Qt::NoModifier, QString(), autoRepeat);
        device->keyEvent(&event, frame, shown);
    }

    // Held long enough to repeat: X11 sends each repeat as a release and a press.
    void holdKey(int code, int repeats)
    {
        key(QEvent::KeyPress, code);
        for (int i = 0; i < repeats; ++i) {
            key(QEvent::KeyRelease, code, true);
            key(QEvent::KeyPress, code, true);
        }
        key(QEvent::KeyRelease, code);
    }

    void click(const QPointF& at)
    {
        QMouseEvent press(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        device->mouseEvent(&press, frame, shown);
        device->mouseEvent(&release, frame, shown);
    }

    std::unique_ptr<DeviceUnderTest> test;
    Device* device = nullptr;
    QSize frame;
    QSize shown;
};

} // namespace

class TestDeviceKeymap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_setup.prepare());
    }

    void shippedKeymapDrivesTwoFingers()
    {
        SimDevice sim;
        QVERIFY(sim.isValid());
        QFile keymap(QStringLiteral(VADIZEDE_SOURCE_DIR "/keymap/arena-runner.json"));
        QVERIFY(keymap.open(QIODevice::ReadOnly));
        DeviceParams params = simParams(sim.serial());
        params.gameScript = QString::fromUtf8(keymap.readAll());
        CallObserver observer;
        DeviceUnderTest test(params, &observer);
        Device& device = test.device;
        QVERIFY(test.connect());
        const QSize frame = test.connected.first().at(3).toSize();
        const QSize shown = frame * 2;

        auto key = [&](QEvent::Type type, int code) {
            QKeyEvent event(type, code, Qt::NoModifier);
            device.keyEvent(&event, frame, shown);
        };
        QVERIFY(!device.isCurrentCustomKeymap());
        key(QEvent::KeyPress, Qt::Key_QuoteLeft);
        key(QEvent::KeyRelease, Qt::Key_QuoteLeft);
        QVERIFY(device.isCurrentCustomKeymap());
        QVERIFY(m_setup.log->contains("current keymap mode: custom"));
        // Jump while crouching: two fingers down together, then lifted in turn.
        key(QEvent::KeyPress, Qt::Key_Space);
        key(QEvent::KeyPress, Qt::Key_C);
        key(QEvent::KeyRelease, Qt::Key_Space);
        key(QEvent::KeyRelease, Qt::Key_C);
        QVERIFY(sim.waitForControlLog(4, 10000));

        QList<QJsonObject> touches;
        for (const QJsonObject& line : sim.controlLog()) {
            QVERIFY2(!line.contains("error"), qPrintable(line.value("error").toString()));
            if (line.value("name").toString() == "INJECT_TOUCH") {
                touches << line;
            }
        }
        QCOMPARE(touches.size(), 4);
        const struct
        {
            int action;
            int pointerId;
            double x;
            double y;
        } expected[] = {{0, 0, 0.93, 0.80}, {0, 1, 0.85, 0.89}, {1, 0, 0.93, 0.80}, {1, 1, 0.85, 0.89}};
        for (int i = 0; i < 4; ++i) {
            const QJsonObject& touch = touches.at(i);
            QCOMPARE(touch.value("action").toInt(), expected[i].action);
            QCOMPARE(touch.value("pointerId").toInt(), expected[i].pointerId);
            QCOMPARE(touch.value("x").toInt(), qRound(expected[i].x * frame.width()));
            QCOMPARE(touch.value("y").toInt(), qRound(expected[i].y * frame.height()));
            QCOMPARE(touch.value("screenWidth").toInt(), frame.width());
            QVERIFY(!touch.value("ignored").toBool());
        }
        // The keymap has view control, so game mode asked the window to hold the pointer.
        QVERIFY(observer.calls.contains("grabCursor"));

        device.disconnectDevice();
    }

    // A finger that slides presses on the glass all the way, as a drawing app needs to see it.
    void dragMovesPressUntilTheFingerLifts()
    {
        SimDevice sim;
        QVERIFY(sim.isValid());
        GameSession game(sim);
        QVERIFY(game.inGame());
        game.key(QEvent::KeyPress, Qt::Key_G);
        game.key(QEvent::KeyRelease, Qt::Key_G);
        QTRY_VERIFY_WITH_TIMEOUT(!touchesOf(sim).isEmpty() && touchesOf(sim).last().value("action").toInt() == 1, 10000);

        const QList<QJsonObject> touches = touchesOf(sim);
        QCOMPARE(touches.first().value("action").toInt(), 0);
        QCOMPARE(touches.first().value("pressureRaw").toInt(), 0xFFFF);
        QCOMPARE(touches.last().value("pressureRaw").toInt(), 0);
        const QList<QJsonObject> moves = touches.mid(1, touches.size() - 2);
        // Thirty hundredths of the screen, one move each, less those that land on the same pixel.
        QVERIFY2(moves.size() >= 20, qPrintable(QString::number(moves.size())));
        for (const QJsonObject& move : moves) {
            QCOMPARE(move.value("action").toInt(), 2);
            QCOMPARE(move.value("pressureRaw").toInt(), 0xFFFF);
            QVERIFY(!move.value("ignored").toBool());
        }
    }

    // Holding the map key frees the pointer once, and holding it again takes it back once,
    // however often the key repeats meanwhile.
    void heldFreeCursorKeyTogglesOnce()
    {
        SimDevice sim;
        QVERIFY(sim.isValid());
        GameSession game(sim);
        QVERIFY(game.inGame());
        const QPointF centre(game.shown.width() / 2.0, game.shown.height() / 2.0);

        game.holdKey(Qt::Key_M, 3);
        // With the pointer free, the left button is a plain finger where the pointer is.
        game.click(centre);
        game.holdKey(Qt::Key_M, 3);
        // Taken back, it is the fire button of the keymap again.
        game.click(centre);
        QVERIFY(sim.waitForControlLog(8, 10000));

        const QList<QJsonObject> touches = touchesOf(sim);
        QCOMPARE(touches.size(), 8);
        const QJsonObject freeClick = touches.at(2);
        QCOMPARE(freeClick.value("action").toInt(), 0);
        QCOMPARE(freeClick.value("pointerId").toDouble(), -1.0);
        QCOMPARE(freeClick.value("x").toInt(), game.frame.width() / 2);
        const QJsonObject gameClick = touches.at(6);
        QCOMPARE(gameClick.value("action").toInt(), 0);
        QVERIFY2(gameClick.value("pointerId").toDouble() >= 0,
                 "the pointer was still free after the second hold");
        QCOMPARE(gameClick.value("x").toInt(), qRound(0.88 * game.frame.width()));
        QCOMPARE(gameClick.value("y").toInt(), qRound(0.66 * game.frame.height()));
    }

private:
    SimTestSetup m_setup;
};

QTEST_MAIN(TestDeviceKeymap)
#include "tst_device_keymap.moc"

#include <QFile>
#include <QKeyEvent>
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

private:
    SimTestSetup m_setup;
};

QTEST_MAIN(TestDeviceKeymap)
#include "tst_device_keymap.moc"

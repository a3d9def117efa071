#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

#include "ControllerFixture.h"
#include "controller/Controller.h"
#include "controller/inputconvert/InputConvertGame.h"
#include "controller/inputconvert/InputConvertNormal.h"

using namespace dvk;

class TestController : public ControllerFixture
{
    Q_OBJECT

private slots:
    void nothingIsWrittenInTheCallersFrame()
    {
        m_controller->postGoHome();
        QVERIFY(m_recorder.writes->isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(*m_recorder.writes, (QList<QByteArray>{hexBytes("00 00 00000003 00000000 00000000"),
                                                        hexBytes("00 01 00000003 00000000 00000000")}));
    }

    void hardwareKeys_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("keycode");
        QTest::newRow("back") << 0 << int(AKEYCODE_BACK);
        QTest::newRow("home") << 1 << int(AKEYCODE_HOME);
        QTest::newRow("menu") << 2 << int(AKEYCODE_MENU);
        QTest::newRow("app switch") << 3 << int(AKEYCODE_APP_SWITCH);
        QTest::newRow("power") << 4 << int(AKEYCODE_POWER);
        QTest::newRow("volume up") << 5 << int(AKEYCODE_VOLUME_UP);
        QTest::newRow("volume down") << 6 << int(AKEYCODE_VOLUME_DOWN);
        QTest::newRow("copy") << 7 << int(AKEYCODE_COPY);
        QTest::newRow("cut") << 8 << int(AKEYCODE_CUT);
        QTest::newRow("any code") << 9 << int(AKEYCODE_TAB);
    }

    void hardwareKeys()
    {
        QFETCH(int, operation);
        QFETCH(int, keycode);
        switch (operation) {
        case 0: m_controller->postGoBack(); break;
        case 1: m_controller->postGoHome(); break;
        case 2: m_controller->postGoMenu(); break;
        case 3: m_controller->postAppSwitch(); break;
        case 4: m_controller->postPower(); break;
        case 5: m_controller->postVolumeUp(); break;
        case 6: m_controller->postVolumeDown(); break;
        case 7: m_controller->copy(); break;
        case 8: m_controller->cut(); break;
        default: m_controller->postKeyCodeClick(static_cast<AndroidKeycode>(keycode)); break;
        }
        QCoreApplication::processEvents();
        QCOMPARE(m_recorder.writes->size(), 2);
        const QByteArray code = hexBytes("0000") + char(keycode >> 8) + char(keycode & 0xFF);
        // Down first, then up; repeat 0 and no meta state.
        QCOMPARE(m_recorder.writes->at(0), hexBytes("00 00") + code + QByteArray(8, '\0'));
        QCOMPARE(m_recorder.writes->at(1), hexBytes("00 01") + code + QByteArray(8, '\0'));
    }

    void deviceOperationsLeaveInOrder()
    {
        QString text = "hi";
        m_controller->expandNotificationPanel();
        m_controller->collapsePanel();
        m_controller->postBackOrScreenOn(true);
        m_controller->postBackOrScreenOn(false);
        m_controller->setScreenPowerMode(ControlMsg::SCREEN_POWER_OFF);
        m_controller->setScreenPowerMode(ControlMsg::SCREEN_POWER_NORMAL);
        m_controller->getDeviceClipboard(true);
        m_controller->getDeviceClipboard(false);
        m_controller->requestDeviceClipboard();
        m_controller->postTextInput(text);
        QVERIFY(m_recorder.writes->isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(*m_recorder.writes,
                 (QList<QByteArray>{hexBytes("05"), hexBytes("07"), hexBytes("04 00"), hexBytes("04 01"),
                                    hexBytes("0A 00"), hexBytes("0A 02"), hexBytes("08 02"), hexBytes("08 01"),
                                    hexBytes("08 01"), hexBytes("01 00000002 6869")}));
    }

    void clipboardPasteIsCutTo300()
    {
        QGuiApplication::clipboard()->setText(QString(1000, 'k'));
        m_controller->clipboardPaste();
        QCoreApplication::processEvents();
        QCOMPARE(m_recorder.writes->size(), 1);
        QCOMPARE(m_recorder.writes->first(), hexBytes("01 0000012C") + QByteArray(300, 'k'));
    }

    void setDeviceClipboardCarriesTheComputerText()
    {
        QGuiApplication::clipboard()->setText("abc");
        m_controller->setDeviceClipboard(true);
        m_controller->setDeviceClipboard(false);
        QCoreApplication::processEvents();
        QCOMPARE(*m_recorder.writes, (QList<QByteArray>{hexBytes("09 0000000000000000 01 00000003 616263"),
                                                        hexBytes("09 0000000000000000 00 00000003 616263")}));
    }

    // Pasting an empty clipboard types an empty text; setting the device's clipboard to
    // nothing would only wipe it, so that is left out.
    void emptyComputerClipboard()
    {
        QGuiApplication::clipboard()->clear();
        m_controller->setDeviceClipboard(true);
        m_controller->clipboardPaste();
        QCoreApplication::processEvents();
        QCOMPARE(*m_recorder.writes, QList<QByteArray>{hexBytes("01 00000000")});
    }

    void foreignControlEventIsSwallowed()
    {
        QCoreApplication::postEvent(m_controller, new QEvent(static_cast<QEvent::Type>(QDravikEvent::ControlEventType)));
        QCoreApplication::processEvents();
        QVERIFY(m_recorder.writes->isEmpty());
        QEvent plain(static_cast<QEvent::Type>(QDravikEvent::ControlEventType));
        QVERIFY(QCoreApplication::sendEvent(m_controller, &plain));
    }

    void pendingMessagesDieWithTheController()
    {
        m_controller->postGoHome();
        delete m_controller;
        QCoreApplication::processEvents();
        QVERIFY(m_recorder.writes->isEmpty());
    }

    void sendControlReportsTheWriter()
    {
        QVERIFY(!m_controller->sendControl(QByteArray()));
        QVERIFY(m_controller->sendControl("ab"));

        Controller noWriter(nullptr, QString());
        QVERIFY(!noWriter.sendControl("ab"));
        noWriter.postGoHome();
        QCoreApplication::processEvents(); // dropped quietly

        Controller gone([](const QByteArray&) { return qint64(0); }, QString());
        QVERIFY(!gone.sendControl("ab"));
        Controller shortWrite([](const QByteArray&) { return qint64(1); }, QString());
        QTest::ignoreMessage(QtWarningMsg, "Control message write failed: 1 of 2 bytes");
        QVERIFY(!shortWrite.sendControl("ab"));
    }

    void updateScriptReplacesTheConverter()
    {
        auto converters = [this]() { return m_controller->findChildren<InputConvertBase*>(); };
        QCOMPARE(converters().size(), 1);
        QVERIFY(qobject_cast<InputConvertNormal*>(converters().first()));
        QVERIFY(!m_controller->isCurrentCustomKeymap());

        QPointer<InputConvertBase> old = converters().first();
        m_controller->updateScript(QString());
        QVERIFY(old.isNull());
        QCOMPARE(converters().size(), 1);

        // A keymap text gives keymap conversion, which starts in normal mode.
        m_controller->updateScript("{\"switchKey\":\"Key_QuoteLeft\"}");
        QCOMPARE(converters().size(), 1);
        QVERIFY(qobject_cast<InputConvertGame*>(converters().first()));
        QVERIFY(!m_controller->isCurrentCustomKeymap());
    }
};

QTEST_MAIN(TestController)
#include "tst_controller.moc"

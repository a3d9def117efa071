#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

#include "ConnectedForm.h"
#include "VideoForm.h"
#include "device/IDeviceManage.h"

namespace {

const QString kClipboardText = QStringLiteral("from the desktop");

// One word per message: its name, action and the field that tells it apart.
QString describe(const QList<QJsonObject>& messages)
{
    QStringList words;
    for (const QJsonObject& m : messages) {
        const QString name = m.value("name").toString();
        QString word = name;
        if (name == "INJECT_KEYCODE") {
            word += QString("/%1:%2").arg(m.value("action").toInt()).arg(m.value("keycode").toInt());
        } else if (name == "SET_SCREEN_POWER_MODE") {
            word += QString(":%1").arg(m.value("mode").toInt());
        } else if (name == "SET_CLIPBOARD") {
            word += QString(":%1:%2").arg(m.value("paste").toBool() ? "true" : "false", m.value("text").toString());
        } else if (name == "INJECT_TEXT") {
            word += ":" + m.value("text").toString();
        }
        words << word;
    }
    return words.join(" ");
}

// A key press the way the platform delivers it: offered to the shortcuts first, then to the widget.
void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers, bool autoRepeat)
{
    if (qt_sendShortcutOverrideEvent(widget, 0, key, modifiers, QString(), autoRepeat)) {
        return;
    }
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestShortcuts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void shortcutReachesDevice_data();
    void shortcutReachesDevice();
    void onlyVolumeKeysRepeatWhenHeld();
    void shortcutsWithoutDeviceDoNothing();
    void plainKeysKeepBothHalves();

private:
    std::unique_ptr<ConnectedForm> m_connected;
};

void TestShortcuts::initTestCase()
{
    prepareFormTests();
    m_connected = std::make_unique<ConnectedForm>();
    QString why;
    QVERIFY2(m_connected->start(QSize(400, 640), why), qPrintable(why));
    m_connected->form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_connected->form.get()));
    QGuiApplication::clipboard()->setText(kClipboardText);
}

void TestShortcuts::cleanupTestCase()
{
    m_connected.reset();
}

void TestShortcuts::init()
{
    m_connected->mark();
}

void TestShortcuts::shortcutReachesDevice_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("expected");
    const int ctrl = Qt::ControlModifier;
    const int ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    // The shortcut takes the key's press, so the device is sent no release of that key either.
    QTest::newRow("Ctrl+h home") << int(Qt::Key_H) << ctrl << "INJECT_KEYCODE/0:3 INJECT_KEYCODE/1:3";
    QTest::newRow("Ctrl+b back") << int(Qt::Key_B) << ctrl << "INJECT_KEYCODE/0:4 INJECT_KEYCODE/1:4";
    QTest::newRow("Ctrl+s app switch") << int(Qt::Key_S) << ctrl << "INJECT_KEYCODE/0:187 INJECT_KEYCODE/1:187";
    QTest::newRow("Ctrl+m menu") << int(Qt::Key_M) << ctrl << "INJECT_KEYCODE/0:82 INJECT_KEYCODE/1:82";
    QTest::newRow("Ctrl+up volume up") << int(Qt::Key_Up) << ctrl << "INJECT_KEYCODE/0:24 INJECT_KEYCODE/1:24";
    QTest::newRow("Ctrl+down volume down") << int(Qt::Key_Down) << ctrl << "INJECT_KEYCODE/0:25 INJECT_KEYCODE/1:25";
    QTest::newRow("Ctrl+p power") << int(Qt::Key_P) << ctrl << "INJECT_KEYCODE/0:26 INJECT_KEYCODE/1:26";
    QTest::newRow("Ctrl+o device screen off") << int(Qt::Key_O) << ctrl << "SET_SCREEN_POWER_MODE:0";
    QTest::newRow("Ctrl+n notifications") << int(Qt::Key_N) << ctrl << "EXPAND_NOTIFICATION_PANEL";
    QTest::newRow("Ctrl+Shift+n collapse") << int(Qt::Key_N) << ctrlShift << "COLLAPSE_PANEL";
    QTest::newRow("Ctrl+c copy") << int(Qt::Key_C) << ctrl << "INJECT_KEYCODE/0:278 INJECT_KEYCODE/1:278";
    QTest::newRow("Ctrl+x cut") << int(Qt::Key_X) << ctrl << "INJECT_KEYCODE/0:277 INJECT_KEYCODE/1:277";
    QTest::newRow("Ctrl+v set and paste") << int(Qt::Key_V) << ctrl << "SET_CLIPBOARD:true:" + kClipboardText;
    QTest::newRow("Ctrl+Shift+v type") << int(Qt::Key_V) << ctrlShift << "INJECT_TEXT:" + kClipboardText;
    QTest::newRow("Ctrl+w fit, nothing sent") << int(Qt::Key_W) << ctrl << "";
}

void TestShortcuts::shortcutReachesDevice()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, expected);
    VideoForm* form = m_connected->form.get();
    form->resize(400, 640);
    QTest::keyClick(form, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(describe(m_connected->messagesUntilMarker()), expected);
    if (key == Qt::Key_W) {
        QCOMPARE(form->size(), QSize(296, 640));
    }
}

void TestShortcuts::onlyVolumeKeysRepeatWhenHeld()
{
    VideoForm* form = m_connected->form.get();
    press(form, Qt::Key_Down, Qt::ControlModifier, false);
    for (int i = 0; i < 3; ++i) {
        press(form, Qt::Key_Down, Qt::ControlModifier, true);
    }
    press(form, Qt::Key_H, Qt::ControlModifier, false);
    for (int i = 0; i < 3; ++i) {
        press(form, Qt::Key_H, Qt::ControlModifier, true);
    }
    const QString volumeDown = "INJECT_KEYCODE/0:25 INJECT_KEYCODE/1:25";
    const QString home = "INJECT_KEYCODE/0:3 INJECT_KEYCODE/1:3";
    QCOMPARE(describe(m_connected->messagesUntilMarker()),
             QStringList({volumeDown, volumeDown, volumeDown, volumeDown, home}).join(" "));
}

void TestShortcuts::shortcutsWithoutDeviceDoNothing()
{
    // A form whose device is gone: the shortcuts look it up, find nothing and stay quiet.
    VideoForm orphan;
    orphan.setSerial("GONE0001");
    orphan.show();
    orphan.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&orphan));
    for (Qt::Key key : {Qt::Key_H, Qt::Key_P, Qt::Key_V, Qt::Key_O}) {
        QTest::keyClick(&orphan, key, Qt::ControlModifier);
    }
    m_connected->form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_connected->form.get()));
    QCOMPARE(describe(m_connected->messagesUntilMarker()), QString());
}

void TestShortcuts::plainKeysKeepBothHalves()
{
    VideoForm* form = m_connected->form.get();
    QTest::keyClick(form, Qt::Key_A);
    // Held A repeats as the platform repeats it: a release and a press, both marked as repeats.
    QTest::keyPress(form, Qt::Key_A);
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(form, &repeatUp);
    QKeyEvent repeatDown(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(form, &repeatDown);
    QTest::keyRelease(form, Qt::Key_A);
    // Shift let go before the key: the press reads "!" and the release "1", one physical key.
    QKeyEvent bang(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, 10, 10, 0, "!");
    QApplication::sendEvent(form, &bang);
    QKeyEvent one(QEvent::KeyRelease, Qt::Key_1, Qt::NoModifier, 10, 10, 0, "1");
    QApplication::sendEvent(form, &one);
    QCOMPARE(describe(m_connected->messagesUntilMarker()),
             QString("INJECT_KEYCODE/0:29 INJECT_KEYCODE/1:29 INJECT_KEYCODE/0:29 INJECT_KEYCODE/1:29 "
                     "INJECT_KEYCODE/0:29 INJECT_KEYCODE/1:29 INJECT_KEYCODE/0:8 INJECT_KEYCODE/1:8"));
}

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"

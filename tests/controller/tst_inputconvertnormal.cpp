#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtTest>

#include "ControllerFixture.h"
#include "controller/Controller.h"
#include "controller/inputconvert/InputConvertNormal.h"

using namespace dvk;

namespace {

const QSize kFrame(1080, 2340);
const QSize kShown(540, 1170);

QByteArray position(int x, int y, const QSize& frame)
{
    QByteArray bytes = be32(x) + be32(y);
    bytes.append(char(frame.width() >> 8)).append(char(frame.width() & 0xFF));
    bytes.append(char(frame.height() >> 8)).append(char(frame.height() & 0xFF));
    return bytes;
}

QByteArray touch(int action, int x, int y, const char* pressure, int buttons, const QSize& frame = kFrame)
{
    return QByteArray(1, 2) + char(action) + QByteArray(8, char(0xFF)) + position(x, y, frame) + hexBytes(pressure)
           + be32(buttons);
}

QByteArray key(int action, int keycode, int repeat, int metastate)
{
    return QByteArray(1, 0) + char(action) + be32(keycode) + be32(repeat) + be32(metastate);
}

QWheelEvent wheel(QPointF pos, QPoint angleDelta)
{
    return QWheelEvent(pos, pos, QPoint(), angleDelta, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
}

} // namespace

class TestInputConvertNormal : public ControllerFixture
{
    Q_OBJECT

private slots:
    void pressAndReleaseAtTheCentre()
    {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(270, 585), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(270, 585), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        m_controller->mouseEvent(&press, kFrame, kShown);
        m_controller->mouseEvent(&release, kFrame, kShown);
        QCOMPARE(sent(), (QList<QByteArray>{touch(0, 540, 1170, "FFFF", 1), touch(1, 540, 1170, "0000", 0)}));
    }

    void positionRounding_data()
    {
        QTest::addColumn<QPointF>("local");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("half up") << QPointF(1, 1) << QSize(1, 1) << QSize(2, 2) << QPoint(1, 1);
        QTest::newRow("minus half up") << QPointF(-1, -1) << QSize(1, 1) << QSize(2, 2) << QPoint(0, 0);
        QTest::newRow("minus 0.6 down") << QPointF(-1, -1) << QSize(3, 3) << QSize(5, 5) << QPoint(-1, -1);
        QTest::newRow("beyond the frame") << QPointF(600, 1200) << kFrame << kShown << QPoint(1200, 2400);
        QTest::newRow("fractional pointer") << QPointF(100.25, 0.75) << QSize(1920, 1080) << QSize(1280, 720)
                                            << QPoint(150, 1);
    }

    void positionRounding()
    {
        QFETCH(QPointF, local);
        QFETCH(QSize, frame);
        QFETCH(QSize, shown);
        QFETCH(QPoint, expected);
        QCOMPARE(InputConvertNormal::mapToFrame(local, frame, shown), expected);

        QMouseEvent press(QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        m_controller->mouseEvent(&press, frame, shown);
        QCOMPARE(sent(), QList<QByteArray>{touch(0, expected.x(), expected.y(), "FFFF", 1, frame)});
    }

    void movesNeedTheLeftButton()
    {
        const QPointF at(10, 20);
        QMouseEvent none(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QMouseEvent right(QEvent::MouseMove, at, Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QMouseEvent both(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        for (QMouseEvent* event : {&none, &right, &doubleClick, &both}) {
            m_controller->mouseEvent(event, kFrame, kShown);
        }
        // A move with the left button held is a finger pressing on.
        QCOMPARE(sent(), QList<QByteArray>{touch(2, 20, 40, "FFFF", 3)});
    }

    void buttonMask()
    {
        QCOMPARE(int(InputConvertNormal::convertMouseButtons(Qt::RightButton)), 2);
        QCOMPARE(int(InputConvertNormal::convertMouseButtons(Qt::MiddleButton)), 4);
        QCOMPARE(int(InputConvertNormal::convertMouseButtons(Qt::BackButton)), 8);
        QCOMPARE(int(InputConvertNormal::convertMouseButtons(Qt::ForwardButton)), 16);
        QCOMPARE(int(InputConvertNormal::convertMouseButtons(Qt::LeftButton | Qt::ExtraButton3 | Qt::TaskButton)), 1);

        // A release carries the buttons still held, not the one let go.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), Qt::LeftButton, Qt::MiddleButton,
                            Qt::NoModifier);
        m_controller->mouseEvent(&release, kFrame, kShown);
        QCOMPARE(sent(), QList<QByteArray>{touch(1, 0, 0, "0000", 4)});
    }

    void wheelSigns()
    {
        const QPointF at(270, 585);
        for (QPoint delta : {QPoint(0, 120), QPoint(0, -360), QPoint(0, 0), QPoint(15, 0), QPoint(-1, 1)}) {
            QWheelEvent event = wheel(at, delta);
            m_controller->wheelEvent(&event, kFrame, kShown);
        }
        const QByteArray pos = position(540, 1170, kFrame);
        QCOMPARE(sent(), (QList<QByteArray>{QByteArray(1, 3) + pos + be32(0) + be32(2),
                                            QByteArray(1, 3) + pos + be32(0) + be32(-2),
                                            QByteArray(1, 3) + pos + be32(2) + be32(0),
                                            QByteArray(1, 3) + pos + be32(-2) + be32(2)}));
    }

    void noVideoAreaSendsNothing()
    {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QWheelEvent event = wheel(QPointF(5, 5), QPoint(0, 120));
        m_controller->mouseEvent(&press, kFrame, QSize(0, 0));
        m_controller->wheelEvent(&event, kFrame, QSize(540, 0));
        m_controller->mouseEvent(&press, QSize(-1, -1), kShown);
        m_controller->mouseEvent(nullptr, kFrame, kShown);
        m_controller->wheelEvent(nullptr, kFrame, kShown);
        m_controller->keyEvent(nullptr, kFrame, kShown);
        QVERIFY(sent().isEmpty());
    }

    void keysWithModifiers()
    {
        QKeyEvent shiftOne(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, "!");
        QKeyEvent altA(QEvent::KeyPress, Qt::Key_A, Qt::AltModifier);
        QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QKeyEvent altLeft(QEvent::KeyRelease, Qt::Key_Left, Qt::AltModifier);
        QKeyEvent metaEnter(QEvent::KeyPress, Qt::Key_Enter, Qt::MetaModifier | Qt::KeypadModifier);
        QKeyEvent keypadSeven(QEvent::KeyPress, Qt::Key_7, Qt::KeypadModifier | Qt::GroupSwitchModifier);
        QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QKeyEvent shiftAlone(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
        QKeyEvent lowerA(QEvent::KeyPress, 'a', Qt::NoModifier);
        for (QKeyEvent* event : {&shiftOne, &altA, &ctrlA, &altLeft, &metaEnter, &keypadSeven, &f5, &shiftAlone,
                                 &lowerA}) {
            m_controller->keyEvent(event, kFrame, kShown);
        }
        QCOMPARE(sent(), (QList<QByteArray>{key(0, AKEYCODE_1, 0, 0x01), key(0, AKEYCODE_A, 0, 0x1000),
                                            key(1, AKEYCODE_DPAD_LEFT, 0, 0x02),
                                            key(0, AKEYCODE_NUMPAD_ENTER, 0, 0x10000), key(0, AKEYCODE_7, 0, 0)}));
    }

    void repeatCounter()
    {
        auto press = [this](int qtKey, bool autoRepeat, QEvent::Type type = QEvent::KeyPress) {
            QKeyEvent event(type, qtKey, Qt::NoModifier, QString(), autoRepeat);
            m_controller->keyEvent(&event, kFrame, kShown);
        };
        press(Qt::Key_A, false);
        press(Qt::Key_A, true);
        press(Qt::Key_A, true, QEvent::KeyRelease);
        press(Qt::Key_F5, false); // unmapped: the count goes on
        press(Qt::Key_A, true);
        press(Qt::Key_A, false, QEvent::KeyRelease);
        QCOMPARE(sent(), (QList<QByteArray>{key(0, AKEYCODE_A, 0, 0), key(0, AKEYCODE_A, 1, 0),
                                            key(1, AKEYCODE_A, 2, 0), key(0, AKEYCODE_A, 3, 0),
                                            key(1, AKEYCODE_A, 0, 0)}));
    }

    void charactersWithoutKeyCodeAreTyped()
    {
        auto type = [this](QEvent::Type eventType, int qtKey, const QString& text, Qt::KeyboardModifiers modifiers,
                           bool autoRepeat = false) {
            QKeyEvent event(eventType, qtKey, modifiers, text, autoRepeat);
            m_controller->keyEvent(&event, kFrame, kShown);
        };
        const QString euro = QString(QChar(0x20AC));
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // outside the BMP
        const QString zwnj = QString(QChar(0x200C));
        type(QEvent::KeyPress, Qt::Key_A, "a", Qt::NoModifier);
        type(QEvent::KeyPress, Qt::Key_Eacute, QString(QChar(0xE9)), Qt::NoModifier);
        type(QEvent::KeyPress, Qt::Key_Eacute, QString(QChar(0xE9)), Qt::NoModifier, true);
        type(QEvent::KeyRelease, Qt::Key_Eacute, QString(QChar(0xE9)), Qt::NoModifier);
        type(QEvent::KeyPress, 0x20AC, euro, Qt::ControlModifier | Qt::AltModifier); // AltGr on Windows
        type(QEvent::KeyPress, 0x1D11E, clef, Qt::ShiftModifier);
        type(QEvent::KeyPress, Qt::Key_unknown, zwnj, Qt::ShiftModifier); // Shift+Space on Persian layouts
        // Shortcuts, and keys whose text is a control character, send nothing.
        type(QEvent::KeyPress, Qt::Key_Udiaeresis, QString(QChar(0xFC)), Qt::AltModifier);
        type(QEvent::KeyPress, Qt::Key_Udiaeresis, QString(QChar(0xFC)), Qt::ControlModifier);
        type(QEvent::KeyPress, Qt::Key_Udiaeresis, QString(QChar(0xFC)), Qt::MetaModifier);
        type(QEvent::KeyPress, Qt::Key_A, "a", Qt::AltModifier);
        type(QEvent::KeyPress, Qt::Key_F5, QString(), Qt::NoModifier);
        type(QEvent::KeyPress, Qt::Key_unknown, QString(QChar(0x1B)), Qt::NoModifier);
        type(QEvent::KeyPress, Qt::Key_unknown, QString(QChar(0x7F)), Qt::NoModifier);
        type(QEvent::KeyPress, Qt::Key_unknown, QString(QChar(0xD800)), Qt::NoModifier); // half a pair
        // Typed text leaves the key repeat count alone.
        type(QEvent::KeyPress, Qt::Key_A, "a", Qt::NoModifier, true);

        const auto text = [](const QString& s) {
            const QByteArray utf8 = s.toUtf8();
            return QByteArray(1, 1) + be32(utf8.size()) + utf8;
        };
        QCOMPARE(sent(), (QList<QByteArray>{key(0, AKEYCODE_A, 0, 0), text(QString(QChar(0xE9))),
                                            text(QString(QChar(0xE9))), text(euro), text(clef), text(zwnj),
                                            key(0, AKEYCODE_A, 1, 0)}));
    }

    void keyTable()
    {
        // Printable keys, in Qt key order from 0x20 to 0x7E: the US-layout key that types each.
        const int printable[] = {
            62, 8,  75, 18, 11, 12, 14, 75, 162, 163, 17, 81, 55, 69, 56, 76, // space ! " # $ % & ' ( ) * + , - . /
            7,  8,  9,  10, 11, 12, 13, 14, 15,  16,                          // 0-9
            74, 74, 55, 70, 56, 76, 77,                                       // : ; < = > ? @
            29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54,
            71, 73, 72, 13, 69, 68,                                           // [ \ ] ^ _ `
        };
        int index = 0;
        for (int qtKey = 0x20; qtKey <= 0x60; ++qtKey, ++index) {
            QCOMPARE(int(InputConvertNormal::convertKeyCode(qtKey, Qt::ShiftModifier)), printable[index]);
            QCOMPARE(int(InputConvertNormal::convertKeyCode(qtKey, Qt::MetaModifier)), 0);
        }
        for (int qtKey = 0x61; qtKey <= 0x7A; ++qtKey) {
            QCOMPARE(int(InputConvertNormal::convertKeyCode(qtKey, Qt::NoModifier)), 0);
        }
        const int braces[] = {71, 73, 72, 68}; // { | } ~
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(int(InputConvertNormal::convertKeyCode(0x7B + i, Qt::ShiftModifier)), braces[i]);
        }

        const QList<QPair<int, int>> editing = {
            {Qt::Key_Escape, 111}, {Qt::Key_Tab, 61},      {Qt::Key_Backspace, 67}, {Qt::Key_Return, 66},
            {Qt::Key_Enter, 160},  {Qt::Key_Delete, 112},  {Qt::Key_Home, 122},     {Qt::Key_End, 123},
            {Qt::Key_Left, 21},    {Qt::Key_Up, 19},       {Qt::Key_Right, 22},     {Qt::Key_Down, 20},
            {Qt::Key_PageUp, 92},  {Qt::Key_PageDown, 93},
        };
        for (const auto& entry : editing) {
            QCOMPARE(int(InputConvertNormal::convertKeyCode(entry.first, Qt::AltModifier | Qt::MetaModifier)),
                     entry.second);
        }
        for (int qtKey : {int(Qt::Key_Insert), int(Qt::Key_Backtab), int(Qt::Key_Control), int(Qt::Key_VolumeUp),
                          0x7F, 0x1F}) {
            QCOMPARE(int(InputConvertNormal::convertKeyCode(qtKey, Qt::NoModifier)), 0);
        }
    }
};

QTEST_MAIN(TestInputConvertNormal)
#include "tst_inputconvertnormal.moc"

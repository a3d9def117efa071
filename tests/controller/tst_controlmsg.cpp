#include <QBuffer>
#include <QtTest>

#include "ControlBytes.h"
#include "controller/BufferUtil.h"
#include "controller/ControlMsg.h"

using namespace dvk;

namespace {

QByteArray touchBytes(quint64 id, AndroidMotioneventAction action, AndroidMotioneventButtons buttons, QRect position,
                      float pressure)
{
    ControlMsg msg(ControlMsg::CONTROL_INJECT_TOUCH);
    msg.setInjectTouchMsgData(id, action, buttons, position, pressure);
    return msg.serializeData();
}

quint32 be32(const QByteArray& bytes, int offset)
{
    QByteArray slice = bytes.mid(offset, 4);
    QBuffer buffer(&slice);
    buffer.open(QBuffer::ReadOnly);
    return BufferUtil::read32(buffer);
}

} // namespace

class TestControlMsg : public QObject
{
    Q_OBJECT

private slots:
    void isControlEvent()
    {
        ControlMsg msg(ControlMsg::CONTROL_COLLAPSE_PANEL);
        QCOMPARE(static_cast<int>(msg.type()), 7);
        QCOMPARE(static_cast<int>(msg.QEvent::type()), 1002);
    }

    void bufferUtilRoundTrip()
    {
        QByteArray bytes;
        QBuffer out(&bytes);
        out.open(QBuffer::WriteOnly);
        BufferUtil::write16(out, 0x12345678u); // only the low two bytes
        BufferUtil::write32(out, 0xA1B2C3D4u);
        BufferUtil::write64(out, Q_UINT64_C(0x0102030405060708));
        out.close();
        QCOMPARE(bytes, hexBytes("5678 A1B2C3D4 0102030405060708"));

        QBuffer in(&bytes);
        in.open(QBuffer::ReadOnly);
        QCOMPARE(BufferUtil::read16(in), quint16(0x5678));
        QCOMPARE(BufferUtil::read32(in), 0xA1B2C3D4u);
        QCOMPARE(BufferUtil::read64(in), Q_UINT64_C(0x0102030405060708));
    }

    void keycode()
    {
        ControlMsg home(ControlMsg::CONTROL_INJECT_KEYCODE);
        home.setInjectKeycodeMsgData(AKEY_EVENT_ACTION_DOWN, AKEYCODE_HOME, 0, AMETA_NONE);
        QCOMPARE(home.serializeData(), hexBytes("00 00 00000003 00000000 00000000"));

        ControlMsg copy(ControlMsg::CONTROL_INJECT_KEYCODE);
        copy.setInjectKeycodeMsgData(AKEY_EVENT_ACTION_UP, AKEYCODE_COPY, 0x01020304,
                                     static_cast<AndroidMetastate>(AMETA_SHIFT_ON | AMETA_CTRL_ON | AMETA_META_ON));
        QCOMPARE(copy.serializeData(), hexBytes("00 01 00000116 01020304 00011001"));
    }

    void touch()
    {
        const QByteArray down = touchBytes(MOUSE_POINTER_ID, AMOTION_EVENT_ACTION_DOWN, AMOTION_EVENT_BUTTON_PRIMARY,
                                           QRect(QPoint(-3, 10), QSize(1080, 2340)), 1.0f);
        QCOMPARE(down.size(), 28);
        QCOMPARE(down, hexBytes("02 00 FFFFFFFFFFFFFFFF FFFFFFFD 0000000A 0438 0924 FFFF 00000001"));

        const QByteArray move = touchBytes(7, AMOTION_EVENT_ACTION_MOVE,
                                           static_cast<AndroidMotioneventButtons>(AMOTION_EVENT_BUTTON_SECONDARY
                                                                                  | AMOTION_EVENT_BUTTON_FORWARD),
                                           QRect(QPoint(540, 1170), QSize(1080, 2340)), 0.5f);
        QCOMPARE(move, hexBytes("02 02 0000000000000007 0000021C 00000492 0438 0924 8000 00000012"));
    }

    void fixedPointPressure_data()
    {
        QTest::addColumn<float>("pressure");
        QTest::addColumn<int>("expected");
        QTest::newRow("zero") << 0.0f << 0;
        QTest::newRow("half") << 0.5f << 0x8000;
        QTest::newRow("one saturates") << 1.0f << 0xFFFF;
        QTest::newRow("just below one") << 0.99999f << 0xFFFF;
        QTest::newRow("smallest step") << (1.0f / 65536.0f) << 1;
        QTest::newRow("above one") << 3.0f << 0xFFFF;
        QTest::newRow("negative is no pressure") << -0.5f << 0;
        QTest::newRow("nan is no pressure") << std::numeric_limits<float>::quiet_NaN() << 0;
    }

    void fixedPointPressure()
    {
        QFETCH(float, pressure);
        QFETCH(int, expected);
        QCOMPARE(int(ControlMsg::toFixedPoint16(pressure)), expected);
    }

    void scroll()
    {
        ControlMsg msg(ControlMsg::CONTROL_INJECT_SCROLL);
        msg.setInjectScrollMsgData(QRect(QPoint(100, -1), QSize(720, 1280)), -2, 2);
        QCOMPARE(msg.serializeData(), hexBytes("03 00000064 FFFFFFFF 02D0 0500 FFFFFFFE 00000002"));
    }

    void injectText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("utf8Length");
        QTest::newRow("empty") << QString() << QString() << 0;
        QTest::newRow("ascii") << QString("hi") << QString("hi") << 2;
        QTest::newRow("300 kept") << QString(300, 'x') << QString(300, 'x') << 300;
        QTest::newRow("301 cut") << QString(301, 'x') << QString(300, 'x') << 300;
        QTest::newRow("three-byte") << QString(300, QChar(0x4E2D)) << QString(300, QChar(0x4E2D)) << 900;
        // 299 letters then an emoji: the pair straddles the limit and must not be split.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("pair at limit") << QString(299, 'a') + emoji << QString(299, 'a') << 299;
        QTest::newRow("pair inside limit") << QString(298, 'a') + emoji + "b" << QString(298, 'a') + emoji << 302;
    }

    void injectText()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QFETCH(int, utf8Length);

        ControlMsg msg(ControlMsg::CONTROL_INJECT_TEXT);
        msg.setInjectTextMsgData(text);
        QCOMPARE(text, kept);
        const QByteArray bytes = msg.serializeData();
        QCOMPARE(bytes.size(), 5 + utf8Length);
        QCOMPARE(bytes.at(0), char(1));
        QCOMPARE(be32(bytes, 1), quint32(utf8Length));
        QCOMPARE(bytes.mid(5), kept.toUtf8());
    }

    void splitText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxUnits");
        QTest::addColumn<QList<int>>("pieceSizes");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("empty: no piece") << QString() << 300 << QList<int>{};
        QTest::newRow("exactly one piece") << QString(300, 'x') << 300 << QList<int>{300};
        QTest::newRow("one over") << QString(301, 'x') << 300 << QList<int>{300, 1};
        QTest::newRow("700 letters") << QString(700, 'x') << 300 << QList<int>{300, 300, 100};
        // A pair straddling each boundary moves whole into the next piece.
        QTest::newRow("pair at every boundary") << QString(299, 'a') + emoji + QString(298, 'b') + emoji + "c" << 300
                                                << QList<int>{299, 300, 3};
        QTest::newRow("only pairs, odd limit") << emoji.repeated(4) << 3 << QList<int>{2, 2, 2, 2};
        QTest::newRow("limit below a pair still advances") << emoji + "ab" << 1 << QList<int>{2, 2};
    }

    void splitText()
    {
        QFETCH(QString, text);
        QFETCH(int, maxUnits);
        QFETCH(QList<int>, pieceSizes);

        const QStringList pieces = ControlMsg::splitText(text, maxUnits);
        QList<int> sizes;
        for (const QString& piece : pieces) {
            sizes << piece.size();
            QVERIFY2(!piece.back().isHighSurrogate(), "a piece ends inside a pair");
            QVERIFY2(!piece.front().isLowSurrogate(), "a piece starts inside a pair");
        }
        QCOMPARE(sizes, pieceSizes);
        QCOMPARE(pieces.join(QString()), text);
    }

    void setClipboard()
    {
        QString text = "abc";
        ControlMsg msg(ControlMsg::CONTROL_SET_CLIPBOARD);
        msg.setSetClipboardMsgData(text, true);
        QCOMPARE(msg.serializeData(), hexBytes("09 0000000000000000 01 00000003 616263"));

        QString other = QString::fromUtf8("\xC3\xA9t\xC3\xA9"); // two-byte characters
        ControlMsg noPaste(ControlMsg::CONTROL_SET_CLIPBOARD);
        noPaste.setSetClipboardMsgData(other, false);
        QCOMPARE(noPaste.serializeData(), hexBytes("09 0000000000000000 00 00000005 C3A974C3A9"));
    }

    void setClipboardLimit()
    {
        const int limit = ControlMsg::CLIPBOARD_TEXT_MAX_LENGTH;
        QCOMPARE(limit, 262138);

        QString atLimit(limit, QChar(0x20AC)); // three UTF-8 bytes each
        ControlMsg kept(ControlMsg::CONTROL_SET_CLIPBOARD);
        kept.setSetClipboardMsgData(atLimit, false);
        QCOMPARE(atLimit.size(), limit);
        const QByteArray keptBytes = kept.serializeData();
        QCOMPARE(be32(keptBytes, 10), quint32(3 * limit));
        QCOMPARE(keptBytes.size(), 14 + 3 * limit);

        QString over(limit + 5, 'z');
        ControlMsg cut(ControlMsg::CONTROL_SET_CLIPBOARD);
        cut.setSetClipboardMsgData(over, true);
        QCOMPARE(over.size(), limit);
        const QByteArray cutBytes = cut.serializeData();
        QCOMPARE(be32(cutBytes, 10), quint32(limit));
        QCOMPARE(cutBytes.size(), 14 + limit);
    }

    void setClipboardEmptyStaysHarmless()
    {
        // Never sent by the controller, but if serialised it must not carry stray memory.
        QString empty;
        ControlMsg msg(ControlMsg::CONTROL_SET_CLIPBOARD);
        msg.setSetClipboardMsgData(empty, true);
        QCOMPARE(msg.serializeData(), hexBytes("09 0000000000000000 00 00000000"));
    }

    void shortMessages()
    {
        ControlMsg backDown(ControlMsg::CONTROL_BACK_OR_SCREEN_ON);
        backDown.setBackOrScreenOnData(true);
        QCOMPARE(backDown.serializeData(), hexBytes("04 00"));
        ControlMsg backUp(ControlMsg::CONTROL_BACK_OR_SCREEN_ON);
        backUp.setBackOrScreenOnData(false);
        QCOMPARE(backUp.serializeData(), hexBytes("04 01"));

        ControlMsg getCopy(ControlMsg::CONTROL_GET_CLIPBOARD);
        getCopy.setGetClipboardMsgData(ControlMsg::COPY_KEY_COPY);
        QCOMPARE(getCopy.serializeData(), hexBytes("08 01"));
        ControlMsg getCut(ControlMsg::CONTROL_GET_CLIPBOARD);
        getCut.setGetClipboardMsgData(ControlMsg::COPY_KEY_CUT);
        QCOMPARE(getCut.serializeData(), hexBytes("08 02"));

        ControlMsg powerOn(ControlMsg::CONTROL_SET_SCREEN_POWER_MODE);
        powerOn.setSetScreenPowerModeData(ControlMsg::SCREEN_POWER_NORMAL);
        QCOMPARE(powerOn.serializeData(), hexBytes("0A 02"));
        ControlMsg powerOff(ControlMsg::CONTROL_SET_SCREEN_POWER_MODE);
        powerOff.setSetScreenPowerModeData(ControlMsg::SCREEN_POWER_OFF);
        QCOMPARE(powerOff.serializeData(), hexBytes("0A 00"));

        for (int type : {5, 6, 7, 11}) {
            ControlMsg bare(static_cast<ControlMsg::ControlMsgType>(type));
            QCOMPARE(bare.serializeData(), QByteArray(1, char(type)));
        }
    }

    void unknownTypeIsTypeByteOnly()
    {
        QTest::ignoreMessage(QtDebugMsg, "Unknown event type: 12");
        ControlMsg twelve(static_cast<ControlMsg::ControlMsgType>(12));
        QCOMPARE(twelve.serializeData(), QByteArray(1, char(12)));

        QTest::ignoreMessage(QtDebugMsg, "Unknown event type: -1");
        ControlMsg negative(static_cast<ControlMsg::ControlMsgType>(-1));
        QCOMPARE(negative.serializeData(), QByteArray(1, char(0xFF)));
    }
};

QTEST_GUILESS_MAIN(TestControlMsg)
#include "tst_controlmsg.moc"

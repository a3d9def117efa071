#include <QClipboard>
#include <QGuiApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include "ControlBytes.h"
#include "controller/Controller.h"
#include "controller/DeviceMsg.h"
#include "controller/DeviceMsgReader.h"
#include "controller/Receiver.h"

using namespace dvk;

namespace {

QByteArray clipboardMsg(const QByteArray& text)
{
    return QByteArray(1, '\0') + be32(text.size()) + text;
}

} // namespace

class TestDeviceMsg : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QGuiApplication::clipboard()->setText("before", QClipboard::Clipboard);
        m_changes.clear();
        m_clipboardConnection = connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this]() {
            m_changes << QGuiApplication::clipboard()->text(QClipboard::Clipboard);
        });
        openConnection();
    }

    void cleanup()
    {
        disconnect(m_clipboardConnection);
        closeConnection();
    }

    // Parsing on its own.

    void deserializeWaitsForWholeMessage()
    {
        DeviceMsg msg;
        QByteArray four = hexBytes("00 00 00 00");
        QCOMPARE(msg.deserialize(four), 0);
        QCOMPARE(msg.type(), DeviceMsg::DEVICE_MSG_NONE);

        QByteArray partial = hexBytes("00 00000003 6162");
        QCOMPARE(msg.deserialize(partial), 0);

        QByteArray whole = partial + hexBytes("63 00 00"); // the next message's start follows
        QCOMPARE(msg.deserialize(whole), 8);
        QCOMPARE(msg.type(), DeviceMsg::DEVICE_MSG_CLIPBOARD);
        QString text;
        msg.getClipboardMsgData(text);
        QCOMPARE(text, QString("abc"));
    }

    void deserializeEmptyAndUtf8()
    {
        DeviceMsg empty;
        QByteArray bytes = hexBytes("00 00000000");
        QCOMPARE(empty.deserialize(bytes), 5);
        QString text = "x";
        empty.getClipboardMsgData(text);
        QVERIFY(text.isEmpty());

        DeviceMsg utf8;
        QByteArray euro = clipboardMsg("\xE2\x82\xAC");
        QCOMPARE(utf8.deserialize(euro), 8);
        utf8.getClipboardMsgData(text);
        QCOMPARE(text, QString(QChar(0x20AC)));

        // The text ends at its first NUL, whatever follows it.
        DeviceMsg withNul;
        QByteArray nul = clipboardMsg(QByteArray("ab\0cd\x9c", 6));
        QCOMPARE(withNul.deserialize(nul), 11);
        withNul.getClipboardMsgData(text);
        QCOMPARE(text, QString("ab"));
    }

    void deserializeRejectsWhatCannotBeFramed()
    {
        DeviceMsg unknown;
        QTest::ignoreMessage(QtWarningMsg, "Unsupported device msg type: -1");
        QByteArray ff = hexBytes("FF 00000000");
        QCOMPARE(unknown.deserialize(ff), -1);

        // A short message of an unknown type is judged at once rather than waiting for 5 bytes.
        DeviceMsg shortUnknown;
        QTest::ignoreMessage(QtWarningMsg, "Unsupported device msg type: 1");
        QByteArray one = hexBytes("01 07");
        QCOMPARE(shortUnknown.deserialize(one), -1);

        // A length beyond what any byte array holds must not overflow the returned size.
        DeviceMsg huge;
        QTest::ignoreMessage(QtWarningMsg, "Device clipboard msg too long: 4294967295");
        QByteArray ffff = hexBytes("00 FFFFFFFF 61");
        QCOMPARE(huge.deserialize(ffff), -1);
    }

    // The read loop over a real socket.

    void splitAcrossArrivals()
    {
        send(hexBytes("00 00 00 00"));
        QTRY_COMPARE(m_appSide->bytesAvailable(), qint64(4));
        send(hexBytes("03 61 62"));
        QTRY_COMPARE(m_appSide->bytesAvailable(), qint64(7));
        QVERIFY(m_changes.isEmpty());

        send(hexBytes("63"));
        QTRY_COMPARE(m_changes, QStringList{"abc"});
        QCOMPARE(m_appSide->bytesAvailable(), qint64(0));
    }

    void twoMessagesInOneArrival()
    {
        send(clipboardMsg("first") + clipboardMsg("second"));
        QTRY_COMPARE(m_changes, (QStringList{"first", "second"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("second"));
        QCOMPARE(m_appSide->bytesAvailable(), qint64(0));
    }

    void largeTextArrivesWhole()
    {
        QByteArray text(70000, 'q');
        text[0] = 'A';
        text[69999] = 'Z';
        const QByteArray msg = clipboardMsg(text);
        QCOMPARE(msg.mid(1, 4), hexBytes("00 01 11 70"));
        send(msg.left(40000));
        QTRY_COMPARE(m_appSide->bytesAvailable(), qint64(40000));
        QVERIFY(m_changes.isEmpty());
        send(msg.mid(40000));
        QTRY_COMPARE(m_changes.size(), 1);
        QCOMPARE(m_appSide->bytesAvailable(), qint64(0));
        QCOMPARE(m_changes.first(), QString::fromLatin1(text));
    }

    // A long text is decoded aside; a short one right behind it must still end on the clipboard.
    void longTextThenShortKeepTheirOrder()
    {
        const QByteArray text(Receiver::DECODE_ASIDE_BYTES + 1, 'L');
        send(clipboardMsg(text) + clipboardMsg("short") + clipboardMsg("shorter"));
        QTRY_COMPARE(m_changes.size(), 3);
        QCOMPARE(m_changes.at(0), QString::fromLatin1(text));
        QCOMPARE(m_changes.mid(1), (QStringList{"short", "shorter"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("shorter"));
    }

    void receiverGoneWhileDecoding()
    {
        QByteArray whole = clipboardMsg(QByteArray(4 * Receiver::DECODE_ASIDE_BYTES, 'g'));
        DeviceMsg msg;
        QCOMPARE(msg.deserialize(whole), whole.size());
        auto receiver = std::make_unique<Receiver>();
        receiver->recvDeviceMsg(&msg);
        receiver.reset();

        // A later receiver's text is the marker that everything posted before has been handled.
        Receiver later;
        QByteArray marker = clipboardMsg("marker");
        DeviceMsg markerMsg;
        markerMsg.deserialize(marker);
        later.recvDeviceMsg(&markerMsg);
        QTRY_COMPARE(m_changes, QStringList{"marker"});
        QCoreApplication::processEvents();
        QCOMPARE(m_changes, QStringList{"marker"});
    }

    void emptyTextClearsClipboard()
    {
        send(hexBytes("00 00000000"));
        QTRY_COMPARE(m_changes, QStringList{QString()});
    }

    void sameTextLeavesClipboardAlone()
    {
        QTest::ignoreMessage(QtInfoMsg, "Device clipboard copied");
        QTest::ignoreMessage(QtDebugMsg, "Computer clipboard unchanged");
        send(clipboardMsg("before"));
        QTRY_COMPARE(m_arrivals->count(), 1);
        QCOMPARE(m_appSide->bytesAvailable(), qint64(0));
        QTest::qWait(20);
        QVERIFY(m_changes.isEmpty());
    }

    void unsupportedTypeDoesNotStallTheConnection()
    {
        QTest::ignoreMessage(QtWarningMsg, "Unsupported device msg type: 1");
        QTest::ignoreMessage(QtWarningMsg, "Discarded 9 unreadable bytes from the device");
        send(hexBytes("01 00 00 00 00 00 00 00 08"));
        QTRY_COMPARE(m_arrivals->count(), 1);
        QCOMPARE(m_appSide->bytesAvailable(), qint64(0));
        QVERIFY(m_changes.isEmpty());

        // The next arrival is read afresh, and the warning is not repeated for old bytes.
        send(clipboardMsg("after"));
        QTRY_COMPARE(m_changes, QStringList{"after"});

        // A length no array can hold is not waited for either: its bytes are read past as they come.
        QTest::ignoreMessage(QtWarningMsg, "Device clipboard text of 4294967295 bytes is longer than the 16777216 we take; "
                                           "it is dropped");
        send(hexBytes("00 FFFFFFFF 61"));
        QTRY_COMPARE(m_arrivals->count(), 3);
        QTRY_COMPARE(m_appSide->bytesAvailable(), qint64(0));
        QCOMPARE(m_changes, QStringList{"after"});
    }

    void overlongTextIsReadPastInPieces_data()
    {
        QTest::addColumn<qint64>("length");
        QTest::addColumn<bool>("taken");
        QTest::newRow("at the limit") << DeviceMsgReader::MAX_CLIPBOARD_TEXT << true;
        QTest::newRow("one byte over") << DeviceMsgReader::MAX_CLIPBOARD_TEXT + 1 << false;
    }

    // The text beyond the limit is never held whole; the message behind it is read as usual.
    void overlongTextIsReadPastInPieces()
    {
        QFETCH(qint64, length);
        QFETCH(bool, taken);
        const QByteArray text(int(length), 'w');
        const QByteArray msg = clipboardMsg(text) + clipboardMsg("after");
        if (!taken) {
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QString("Device clipboard text of %1 bytes is longer than "
                                                                  "the 16777216 we take; it is dropped").arg(length)));
        }
        const int piece = 1024 * 1024;
        for (int at = 0; at < msg.size(); at += piece) {
            send(msg.mid(at, piece));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_changes.isEmpty() && m_changes.last() == "after", 20000);
        QCOMPARE(m_changes.size(), taken ? 2 : 1);
        if (taken) {
            QCOMPARE(m_changes.first().size(), text.size());
        }
        QCOMPARE(m_appSide->bytesAvailable(), qint64(0));
    }

    void bytesBufferedBeforeAttachAreRead()
    {
        closeConnection();
        openConnection(false);
        send(clipboardMsg("early"));
        QTRY_COMPARE(m_appSide->bytesAvailable(), qint64(10));
        DeviceMsgReader::attach(m_appSide, m_controller.get());
        QTRY_COMPARE(m_changes, QStringList{"early"});
    }

    void goneControllerStopsReading()
    {
        m_controller.reset();
        send(clipboardMsg("late"));
        QTRY_COMPARE(m_appSide->bytesAvailable(), qint64(9));
        DeviceMsgReader().drain(m_appSide, nullptr);
        QCOMPARE(m_appSide->bytesAvailable(), qint64(9));
        QVERIFY(m_changes.isEmpty());
    }

private:
    void closeConnection()
    {
        m_controller.reset();
        delete m_deviceSide;
        m_deviceSide = nullptr;
        delete m_appSide;
        m_appSide = nullptr;
        m_server.close();
    }

    void openConnection(bool attach = true)
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost, 0));
        m_appSide = new QTcpSocket;
        m_appSide->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
        QVERIFY(m_server.waitForNewConnection(5000));
        m_deviceSide = m_server.nextPendingConnection();
        m_deviceSide->setParent(nullptr);
        QTRY_COMPARE(m_appSide->state(), QAbstractSocket::ConnectedState);
        m_arrivals = std::make_unique<QSignalSpy>(m_appSide, &QIODevice::readyRead);
        m_controller = std::make_unique<Controller>(nullptr, QString());
        if (attach) {
            DeviceMsgReader::attach(m_appSide, m_controller.get());
        }
    }

    void send(const QByteArray& bytes)
    {
        m_deviceSide->write(bytes);
        m_deviceSide->flush();
    }

    QTcpServer m_server;
    QTcpSocket* m_appSide = nullptr;
    QTcpSocket* m_deviceSide = nullptr;
    std::unique_ptr<Controller> m_controller;
    std::unique_ptr<QSignalSpy> m_arrivals;
    QStringList m_changes;
    QMetaObject::Connection m_clipboardConnection;
};

QTEST_MAIN(TestDeviceMsg)
#include "tst_devicemsg.moc"

// The device information handshake and the listening socket that hands out the video connection,
// exercised over real loopback connections without a device.
#include <QtTest>

#include <QTcpSocket>

#include <chrono>
#include <thread>

#include "server/Server.h"
#include "server/TcpServer.h"
#include "server/VideoSocket.h"

using dvk::Server;
using dvk::TcpServer;
using dvk::VideoSocket;

namespace {

struct Chunk
{
    QByteArray bytes;
    int delayMs = 0; // pause before this chunk
};

// Plays the device's side of one connection from its own thread, so the reader can block meanwhile.
void playDevice(quint16 port, const QVector<Chunk>& chunks)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000)) {
        return;
    }
    for (const Chunk& chunk : chunks) {
        std::this_thread::sleep_for(std::chrono::milliseconds(chunk.delayMs));
        socket.write(chunk.bytes);
        socket.waitForBytesWritten(2000);
    }
    // Hold the connection open until the reader is done with it.
    socket.waitForDisconnected(3000);
}

// Joins on every way out of a test function, failed checks included.
struct JoiningThread
{
    std::thread thread;
    ~JoiningThread()
    {
        if (thread.joinable()) {
            thread.join();
        }
    }
};

QByteArray deviceInfo(const QByteArray& nameField, quint16 width, quint16 height)
{
    QByteArray info = nameField.left(64);
    info.append(64 - info.size(), '\0');
    info.append(char(width >> 8)).append(char(width & 0xff));
    info.append(char(height >> 8)).append(char(height & 0xff));
    return info;
}

} // namespace

Q_DECLARE_METATYPE(QVector<Chunk>)

class TestServerInfo : public QObject
{
    Q_OBJECT

private slots:
    void readInfo_data();
    void readInfo();
    void connectionsAlternateAsExpected();
};

void TestServerInfo::readInfo_data()
{
    QTest::addColumn<QVector<Chunk>>("chunks");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");

    const QByteArray full64(64, 'N');
    QTest::newRow("64-byte name keeps 63, size bytes 04 38 09 60")
        << QVector<Chunk>{{deviceInfo(full64, 0x0438, 0x0960)}} << true << QString(63, 'N') << QSize(1080, 2400);

    const QByteArray utf8Name = QString::fromUtf8("Pixel \xc3\xa9t\xc3\xa9").toUtf8();
    QTest::newRow("short UTF-8 name stops at the zero byte")
        << QVector<Chunk>{{deviceInfo(utf8Name + QByteArray(1, '\0') + "garbage", 720, 1600)}} << true
        << QString::fromUtf8("Pixel \xc3\xa9t\xc3\xa9") << QSize(720, 1600);

    const QByteArray info = deviceInfo("split", 480, 1024);
    QTest::newRow("record split over segments within the wait")
        << QVector<Chunk>{{info.left(30)}, {info.mid(30, 20), 60}, {info.mid(50), 60}} << true << QString("split")
        << QSize(480, 1024);

    QTest::newRow("record arriving after the wait") << QVector<Chunk>{{info.left(10)}, {info.mid(10), 900}} << false
                                                    << QString("unchanged") << QSize(7, 7);
    QTest::newRow("record cut short") << QVector<Chunk>{{info.left(67)}} << false << QString("unchanged")
                                      << QSize(7, 7);
}

void TestServerInfo::readInfo()
{
    QFETCH(QVector<Chunk>, chunks);
    QFETCH(bool, ok);
    QFETCH(QString, name);
    QFETCH(QSize, size);

    TcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    // Declared before the reading socket, so that socket closes first and the writer can end.
    JoiningThread writer{std::thread(playDevice, listener.serverPort(), chunks)};
    QVERIFY(listener.waitForNewConnection(3000));
    QScopedPointer<QTcpSocket> socket(listener.nextPendingConnection());
    auto* videoSocket = qobject_cast<VideoSocket*>(socket.data());
    QVERIFY(videoSocket);
    // Start reading once the first chunk is there, as the server writes it right after connecting.
    if (videoSocket->bytesAvailable() == 0) {
        QVERIFY(videoSocket->waitForReadyRead(2000));
    }

    Server server;
    QString deviceName = "unchanged";
    QSize deviceSize(7, 7);
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(server.readInfo(videoSocket, deviceName, deviceSize), ok);
    QVERIFY2(elapsed.elapsed() < 800, "the handshake wait must stay short");
    QCOMPARE(deviceName, name);
    QCOMPARE(deviceSize, size);
    if (ok) {
        QCOMPARE(videoSocket->bytesAvailable(), qint64(0)); // nothing beyond the record is consumed
    }

    socket->close();
}

void TestServerInfo::connectionsAlternateAsExpected()
{
    TcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket*> clients;
    auto accept = [&]() -> QTcpSocket* {
        auto* client = new QTcpSocket(this);
        clients << client;
        client->connectToHost(QHostAddress::LocalHost, listener.serverPort());
        if (!listener.waitForNewConnection(3000)) {
            return nullptr;
        }
        return listener.nextPendingConnection();
    };

    QScopedPointer<QTcpSocket> first(accept());
    QScopedPointer<QTcpSocket> second(accept());
    QScopedPointer<QTcpSocket> third(accept());
    QVERIFY(first && second && third);
    QVERIFY(qobject_cast<VideoSocket*>(first.data()));
    QVERIFY(!qobject_cast<VideoSocket*>(second.data()));
    QVERIFY(!qobject_cast<VideoSocket*>(third.data()));
    QCOMPARE(first->state(), QAbstractSocket::ConnectedState);
    QVERIFY(first->parent() == nullptr && second->parent() == nullptr);

    // A new bring-up on the same listener starts with the video connection again.
    listener.expectVideoSocket();
    QScopedPointer<QTcpSocket> again(accept());
    QVERIFY(again);
    QVERIFY(qobject_cast<VideoSocket*>(again.data()));
    qDeleteAll(clients);
}

QTEST_GUILESS_MAIN(TestServerInfo)
#include "tst_serverinfo.moc"

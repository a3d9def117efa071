#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include "SimDevice.h"
#include "controller/Controller.h"
#include "controller/DeviceMsgReader.h"

using namespace dvk;

namespace {

const char* const kRemotePath = "/data/local/tmp/dravik-server.jar";

// The server brought up in reverse mode: it connects to us, video first, then control.
struct Connection
{
    ~Connection()
    {
        video.reset();
        control.reset();
        if (shell && shell->state() != QProcess::NotRunning) {
            shell->kill();
            shell->waitForFinished(3000);
        }
    }

    std::unique_ptr<QProcess> shell;
    QTcpServer listener;
    std::unique_ptr<QTcpSocket> video;
    std::unique_ptr<QTcpSocket> control;
    QSize frameSize;
};

// Notes when the reader has dropped unreadable bytes; QTest's own handler still sees every line.
struct DiscardWatch
{
    DiscardWatch()
    {
        seen = false;
        previous = qInstallMessageHandler(&DiscardWatch::handle);
    }
    ~DiscardWatch() { qInstallMessageHandler(previous); }

    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (text.startsWith("Discarded ")) {
            seen = true;
        }
        previous(type, context, text);
    }

    static inline bool seen = false;
    static inline QtMessageHandler previous = nullptr;
};

bool connectServer(SimDevice& sim, Connection& connection, QString& why)
{
    if (sim.runAdb({"push", SimDevice::serverFilePath(), kRemotePath}).exitCode != 0) {
        why = "push failed";
        return false;
    }
    if (!connection.listener.listen(QHostAddress::LocalHost, 0)) {
        why = "listen failed";
        return false;
    }
    const QString tcp = QString("tcp:%1").arg(connection.listener.serverPort());
    if (sim.runAdb({"reverse", "localabstract:dravik", tcp}).exitCode != 0) {
        why = "reverse failed";
        return false;
    }
    connection.shell = std::make_unique<QProcess>();
    connection.shell->setProcessEnvironment(sim.environment());
    connection.shell->start(SimDevice::adbPath(),
                            {"shell", QString("CLASSPATH=%1").arg(kRemotePath), "app_process", "/",
                             "com.kelvanorth.dravik.Server", SimDevice::serverVersion(), "log_level=info",
                             "max_size=0", "bit_rate=2000000", "max_fps=15", "lock_video_orientation=-1",
                             "tunnel_forward=false", "control=true", "display_id=0", "show_touches=false",
                             "stay_awake=false"});
    for (auto* socket : {&connection.video, &connection.control}) {
        if (!connection.listener.hasPendingConnections() && !connection.listener.waitForNewConnection(10000)) {
            why = "the server did not connect";
            return false;
        }
        socket->reset(connection.listener.nextPendingConnection());
        (*socket)->setParent(nullptr);
    }

    QTcpSocket* video = connection.video.get();
    while (video->bytesAvailable() < 68) {
        if (!video->waitForReadyRead(5000)) {
            why = "no device information";
            return false;
        }
    }
    const QByteArray info = video->read(68);
    connection.frameSize = QSize((quint8(info[64]) << 8) | quint8(info[65]), (quint8(info[66]) << 8) | quint8(info[67]));
    // The picture is of no interest here; keep the stream flowing.
    QObject::connect(video, &QIODevice::readyRead, video, [video]() { video->readAll(); });
    video->readAll();
    return true;
}

// This process's resident memory in KiB: now ("VmRSS") or at its peak ("VmHWM").
qint64 residentKiB(const char* field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(qstrlen(field) + 1).simplified().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// The address sanitizer holds freed memory back for a while, so a peak would count what was read
// and let go as well.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFreedMemoryKept = true;
#else
constexpr bool kFreedMemoryKept = false;
#endif

// The most this process held above what it held when made: the kernel's own peak, reset
// here, so that a peak between two looks is not missed.
class PeakGrowth
{
public:
    PeakGrowth()
    {
        QFile reset("/proc/self/clear_refs");
        m_resetWorked = reset.open(QIODevice::WriteOnly) && reset.write("5") == 1;
        reset.close();
        m_base = residentKiB("VmRSS");
    }

    bool usable() const { return m_resetWorked && m_base > 0 && !kFreedMemoryKept; }
    qint64 kib() const { return residentKiB("VmHWM") - m_base; }

private:
    bool m_resetWorked = false;
    qint64 m_base = 0;
};

Controller::Writer socketWriter(QTcpSocket* socket)
{
    QPointer<QTcpSocket> guarded(socket);
    return [guarded](const QByteArray& bytes) { return guarded ? guarded->write(bytes) : qint64(0); };
}

} // namespace

class TestControllerDevice : public QObject
{
    Q_OBJECT

private slots:
    void inputAndClipboardReachTheDevice()
    {
        SimDevice sim;
        QVERIFY(sim.isValid());
        Connection connection;
        QString why;
        QVERIFY2(connectServer(sim, connection, why), qPrintable(why));
        const QSize frame = connection.frameSize;
        QVERIFY(frame.isValid());
        const QSize shown = frame * 2;

        Controller controller(socketWriter(connection.control.get()), QString());
        DeviceMsgReader::attach(connection.control.get(), &controller);

        const QPointF centre(shown.width() / 2.0, shown.height() / 2.0);
        const QPointF lower(shown.width() / 2.0, shown.height() * 0.75);
        QMouseEvent press(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, lower, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, lower, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, "A");
        controller.mouseEvent(&press, frame, shown);
        controller.mouseEvent(&move, frame, shown);
        controller.mouseEvent(&release, frame, shown);
        controller.keyEvent(&key, frame, shown);
        QGuiApplication::clipboard()->setText(QString::fromUtf8("from the computer \xE2\x82\xAC"));
        controller.setDeviceClipboard(true);

        QVERIFY(sim.waitForControlLog(5, 10000));
        const QList<QJsonObject> log = sim.controlLog();
        QCOMPARE(log.size(), 5);

        const int x = frame.width() / 2;
        const struct
        {
            int action;
            int y;
            int pressureRaw;
            int buttons;
        } touches[] = {{0, frame.height() / 2, 0xFFFF, 1},
                       {2, qRound(frame.height() * 0.75), 0xFFFF, 1},
                       {1, qRound(frame.height() * 0.75), 0, 0}};
        for (int i = 0; i < 3; ++i) {
            const QJsonObject& touch = log.at(i);
            QCOMPARE(touch.value("name").toString(), QString("INJECT_TOUCH"));
            QCOMPARE(touch.value("action").toInt(), touches[i].action);
            QCOMPARE(touch.value("pointerId").toDouble(), -1.0);
            QCOMPARE(touch.value("x").toInt(), x);
            QCOMPARE(touch.value("y").toInt(), touches[i].y);
            QCOMPARE(touch.value("screenWidth").toInt(), frame.width());
            QCOMPARE(touch.value("screenHeight").toInt(), frame.height());
            QCOMPARE(touch.value("pressureRaw").toInt(), touches[i].pressureRaw);
            QCOMPARE(touch.value("buttons").toInt(), touches[i].buttons);
            QVERIFY(!touch.value("ignored").toBool());
        }

        const QJsonObject& keycode = log.at(3);
        QCOMPARE(keycode.value("name").toString(), QString("INJECT_KEYCODE"));
        QCOMPARE(keycode.value("action").toInt(), 0);
        QCOMPARE(keycode.value("keycode").toInt(), int(AKEYCODE_A));
        QCOMPARE(keycode.value("repeat").toInt(), 0);
        QCOMPARE(keycode.value("metastate").toInt(), int(AMETA_SHIFT_ON));

        const QJsonObject& clipboard = log.at(4);
        QCOMPARE(clipboard.value("name").toString(), QString("SET_CLIPBOARD"));
        QCOMPARE(clipboard.value("paste").toBool(), true);
        QCOMPARE(clipboard.value("sequence").toInt(), 0);
        QCOMPARE(clipboard.value("length").toInt(), 21);
        QCOMPARE(clipboard.value("text").toString(), QString::fromUtf8("from the computer \xE2\x82\xAC"));
        for (const QJsonObject& line : log) {
            QVERIFY2(!line.contains("error"), qPrintable(line.value("error").toString()));
        }

        // Copying on the device puts the text on the computer's clipboard.
        QVERIFY(sim.setProperty(sim.serial(), "clipboard", QString::fromUtf8("copied on the device \xE4\xB8\xAD")));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(),
                                  QString::fromUtf8("copied on the device \xE4\xB8\xAD"), 5000);
    }

    // A device announcing a clipboard text of 20 MiB: it is read past, never held, and the
    // device's next clipboard still reaches the computer.
    void longClipboardIsDroppedAndTheNextArrives()
    {
        SimDevice sim;
        QVERIFY(sim.isValid());
        Connection connection;
        QString why;
        QVERIFY2(connectServer(sim, connection, why), qPrintable(why));
        Controller controller(socketWriter(connection.control.get()), QString());
        DeviceMsgReader::attach(connection.control.get(), &controller);
        QTest::qWait(200);

        const qint64 length = 20 * 1024 * 1024;
        const QString warning = QString("Device clipboard text of %1 bytes is longer than the %2 we take; it is dropped")
                                    .arg(length)
                                    .arg(DeviceMsgReader::MAX_CLIPBOARD_TEXT);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        const PeakGrowth growth;
        QVERIFY(sim.setFault(sim.serial(), "longClipboard", double(length)));
        QVERIFY(sim.waitForServerEvent("clipboard-sent", 10000));
        QVERIFY(sim.setProperty(sim.serial(), "clipboard", QString("after the long one")));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), QString("after the long one"), 20000);

        // Where the peak cannot be measured, the text arriving after the long one is the whole check.
        if (!growth.usable()) {
            qInfo("peak memory not measured here");
            return;
        }
        const qint64 grewKiB = growth.kib();
        qInfo("peak memory grew by %lld KiB while 20 MiB were read past", grewKiB);
        QVERIFY2(grewKiB < DeviceMsgReader::MAX_CLIPBOARD_TEXT / 1024,
                 qPrintable(QString("grew by %1 KiB").arg(grewKiB)));
    }

    void unknownDeviceMessageDoesNotEndClipboardSync()
    {
        SimDevice sim;
        QVERIFY(sim.isValid());
        QVERIFY(sim.setFault(sim.serial(), "unknownDeviceMessage", true));
        Connection connection;
        QString why;
        QVERIFY2(connectServer(sim, connection, why), qPrintable(why));
        Controller controller(socketWriter(connection.control.get()), QString());
        DeviceMsgReader::attach(connection.control.get(), &controller);

        QTest::ignoreMessage(QtWarningMsg, "Unsupported device msg type: 1");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Discarded \\d+ unreadable bytes from the device$"));
        DiscardWatch watch;
        controller.requestDeviceClipboard();
        // The next clipboard must not share a read with the unreadable bytes, or it is dropped with them.
        QTRY_VERIFY_WITH_TIMEOUT(DiscardWatch::seen, 10000);

        // Bytes after the unreadable message were dropped, but later messages are read again.
        QVERIFY(sim.setProperty(sim.serial(), "clipboard", QString("after the unknown message")));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), QString("after the unknown message"), 5000);
    }
};

QTEST_MAIN(TestControllerDevice)
#include "tst_controller_device.moc"

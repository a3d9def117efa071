#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

#include "ConnectedForm.h"
#include "QYUVOpenGLWidget.h"
#include "ShownFrame.h"
#include "VideoForm.h"
#include "device/IDeviceManage.h"

namespace {

// The display is larger than the picture, so every point must be scaled on its way.
const QSize kDisplay(1080, 2400);
const QSize kPicture(144, 320);
const quint16 kMaxSize = 320;

SimDevice::Options phoneWithoutServer(const QString& serial, bool motionEvent)
{
    SimDevice::Options options;
    options.serial = serial;
    options.screen = kDisplay;
    options.sizeLimit = 0;
    options.properties = QJsonObject{{"serverless", true}, {"inputMotionevent", motionEvent}, {"recordFps", 30}};
    return options;
}

QYUVOpenGLWidget* videoWidget(VideoForm* form)
{
    return form->findChild<QYUVOpenGLWidget*>();
}



// The device's input and cmd events after the first `from`, one word each.
QStringList commands(const SimDevice& sim, int from)
{
    QStringList words;
    const QList<QJsonObject> events = sim.eventLog();
    for (int i = from; i < events.size(); ++i) {
        const QJsonObject& e = events.at(i);
        const QString name = e.value("event").toString();
        if (name != "input" && name != "cmd") {
            continue;
        }
        QStringList args;
        for (const QJsonValue& arg : e.value("args").toArray()) {
            args << arg.toString();
        }
        words << name + " " + args.join(' ');
    }
    return words;
}

QJsonObject lastEvent(const SimDevice& sim, const QString& name)
{
    QJsonObject found;
    for (const QJsonObject& e : sim.eventLog()) {
        if (e.value("event").toString() == name) {
            found = e;
        }
    }
    return found;
}

// A click at the middle of the picture the form shows.
void clickCentre(VideoForm* form)
{
    QYUVOpenGLWidget* video = videoWidget(form);
    QTest::mouseClick(video, Qt::LeftButton, Qt::NoModifier, QPoint(video->width() / 2, video->height() / 2));
}

int eventCount(const SimDevice& sim, const QString& name)
{
    int count = 0;
    for (const QJsonObject& e : sim.eventLog()) {
        count += e.value("event").toString() == name ? 1 : 0;
    }
    return count;
}

} // namespace

class TestShellConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void serverlessPhoneIsMirroredWithItsOwnTools();
    void dragsBecomeLiveMotionEventsWhereTheDeviceHasThem();
    void recorderIsStartedAgainWhenItEnds();
    void recorderFailingThriceEndsTheConnectionWithItsError();
    void serverOnlySaysWhyItCouldNotStart();
    void shellOnlyNeverPushesTheServer();
    void stillScreenIsShownAtOnceAndTheFirstTapWorks();
    void turnedPhoneRestartsTheRecorderAndTapsFollow();
    void recorderIsAskedForTheDisplaysRatio();

private:
    bool startShown(ConnectedForm& connected, QSignalSpy* notices = nullptr);
    QStringList waitForCommands(ConnectedForm& connected, int from, int count);
};

void TestShellConnection::initTestCase()
{
    prepareFormTests();
    qRegisterMetaType<dvk::IDevice::Notice>("dvk::IDevice::Notice");
}

bool TestShellConnection::startShown(ConnectedForm& connected, QSignalSpy* notices)
{
    Q_UNUSED(notices)
    connected.params.maxSize = kMaxSize;
    QString why;
    if (!connected.start(kPicture, why)) {
        qWarning("%s", qPrintable(why));
        return false;
    }
    connected.form->activateWindow();
    return QTest::qWaitForWindowActive(connected.form.get());
}

QStringList TestShellConnection::waitForCommands(ConnectedForm& connected, int from, int count)
{
    QStringList words;
    if (!QTest::qWaitFor([&]() { return (words = commands(connected.sim, from)).size() >= count; }, 10000)) {
        qWarning("only %d of %d commands arrived", int(words.size()), count);
    }
    return words;
}

void TestShellConnection::serverlessPhoneIsMirroredWithItsOwnTools()
{
    ConnectedForm connected(phoneWithoutServer("SHELL01", false));
    QSignalSpy notices(&dvk::IDeviceManage::getInstance(), &dvk::IDeviceManage::deviceNotice);
    QVERIFY(startShown(connected));
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.first().at(1).value<dvk::IDevice::Notice>(), dvk::IDevice::NOTICE_SHELL_FALLBACK);
    QVERIFY2(!connected.sim.waitForServerEvent("connected", 10), "our server must not have run");

    // The picture is the recorder's own, frame by frame.
    VideoForm* form = connected.form.get();
    QCOMPARE(form->frameSize(), kPicture);
    QYUVOpenGLWidget* video = videoWidget(form);
    quint32 first = 0;
    QTRY_VERIFY_WITH_TIMEOUT((first = shownFrameNumber(video)) >= 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(shownFrameNumber(video) > first, 5000);

    int from = connected.sim.eventLog().size();
    QTest::mouseClick(video, Qt::LeftButton, Qt::NoModifier, QPoint(72, 160));
    QTest::mousePress(video, Qt::LeftButton, Qt::NoModifier, QPoint(36, 80));
    for (int i = 1; i <= 4; ++i) {
        QTest::mouseMove(video, QPoint(36 + 18 * i, 80 + 40 * i));
    }
    QTest::mouseRelease(video, Qt::LeftButton, Qt::NoModifier, QPoint(108, 240));
    QStringList words = waitForCommands(connected, from, 2);
    QCOMPARE(words.value(0), QString("input tap 540 1200"));
    QVERIFY2(words.value(1).startsWith("input swipe 270 600 810 1800 "), qPrintable(words.join(" | ")));

    from = connected.sim.eventLog().size();
    QGuiApplication::clipboard()->setText("it's $HOME; a&b");
    QTest::keyClick(form, Qt::Key_A);
    QTest::keyClick(form, Qt::Key_H, Qt::ControlModifier);
    QTest::keyClick(form, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    QWheelEvent wheel(QPointF(72, 160), QPointF(form->mapToGlobal(QPoint(72, 160))), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form, &wheel);
    QTest::keyClick(form, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(form, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    words = waitForCommands(connected, from, 6);
    QCOMPARE(words.join(" | "), QStringList({"input keyevent 29", "input keyevent 3", "input text it's%s$HOME;%sa&b",
                                 "input roll 0 -2", "cmd statusbar expand-notifications", "cmd statusbar collapse"}).join(" | "));
    const QList<QJsonObject> events = connected.sim.eventLog();
    bool typed = false;
    for (const QJsonObject& e : events) {
        typed = typed || e.value("text").toString() == "it's $HOME; a&b";
    }
    QVERIFY2(typed, "the pasted text must arrive intact");

    // What the phone's input command cannot type is left out and said once.
    notices.clear();
    QTest::keyClick(form, Qt::Key_Eacute, Qt::NoModifier);
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 1, 5000);
    QCOMPARE(notices.first().at(1).value<dvk::IDevice::Notice>(), dvk::IDevice::NOTICE_TEXT_DROPPED);
}

void TestShellConnection::dragsBecomeLiveMotionEventsWhereTheDeviceHasThem()
{
    ConnectedForm connected(phoneWithoutServer("SHELL02", true));
    QVERIFY(startShown(connected));
    QYUVOpenGLWidget* video = videoWidget(connected.form.get());
    const int from = connected.sim.eventLog().size();
    QTest::mousePress(video, Qt::LeftButton, Qt::NoModifier, QPoint(36, 80));
    for (int i = 1; i <= 4; ++i) {
        QTest::mouseMove(video, QPoint(36 + 18 * i, 80 + 40 * i));
        QTest::qWait(20);
    }
    QTest::mouseRelease(video, Qt::LeftButton, Qt::NoModifier, QPoint(108, 240));
    QStringList words;
    QTRY_VERIFY_WITH_TIMEOUT((words = commands(connected.sim, from)).endsWith("input motionevent UP 810 1800"), 10000);
    QCOMPARE(words.first(), QString("input motionevent DOWN 270 600"));
    QVERIFY2(words.size() >= 3, qPrintable(words.join(" | ")));
    for (const QString& word : words.mid(1, words.size() - 2)) {
        QVERIFY2(word.startsWith("input motionevent MOVE "), qPrintable(word));
    }
}

void TestShellConnection::recorderIsStartedAgainWhenItEnds()
{
    SimDevice::Options options = phoneWithoutServer("SHELL03", false);
    options.faults = QJsonObject{{"recordFrames", 15}};
    ConnectedForm connected(options);
    QVERIFY(startShown(connected));
    QYUVOpenGLWidget* video = videoWidget(connected.form.get());
    QTRY_VERIFY_WITH_TIMEOUT(eventCount(connected.sim, "screenrecord") >= 3, 15000);
    // Each recording counts its frames from 0 again; pictures keep coming after every restart.
    QTRY_VERIFY_WITH_TIMEOUT(shownFrameNumber(video) >= 5, 5000);
    QVERIFY(connected.device);
}

void TestShellConnection::recorderFailingThriceEndsTheConnectionWithItsError()
{
    SimDevice::Options options = phoneWithoutServer("SHELL04", false);
    options.faults = QJsonObject{{"recordError", "ERROR: the encoder is busy"}};
    ConnectedForm connected(options);
    connected.params.maxSize = kMaxSize;
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy notices(&registry, &dvk::IDeviceManage::deviceNotice);
    QSignalSpy connectedSpy(&registry, &dvk::IDeviceManage::deviceConnected);
    QVERIFY(registry.connectDevice(connected.params));
    QVERIFY(connectedSpy.wait(15000));
    QCOMPARE(connectedSpy.first().at(0).toBool(), false);
    QCOMPARE(eventCount(connected.sim, "screenrecord"), 3);
    const QList<QVariant> failure = notices.last();
    QCOMPARE(failure.at(1).value<dvk::IDevice::Notice>(), dvk::IDevice::NOTICE_FAILED);
    QVERIFY2(failure.at(2).toString().contains("ERROR: the encoder is busy"), qPrintable(failure.at(2).toString()));
}

void TestShellConnection::serverOnlySaysWhyItCouldNotStart()
{
    ConnectedForm connected(phoneWithoutServer("SHELL05", false));
    connected.params.connection = "server";
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy notices(&registry, &dvk::IDeviceManage::deviceNotice);
    QSignalSpy connectedSpy(&registry, &dvk::IDeviceManage::deviceConnected);
    QVERIFY(registry.connectDevice(connected.params));
    QVERIFY(connectedSpy.wait(15000));
    QCOMPARE(connectedSpy.first().at(0).toBool(), false);
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.first().at(1).value<dvk::IDevice::Notice>(), dvk::IDevice::NOTICE_FAILED);
    QVERIFY2(notices.first().at(2).toString().contains("ClassNotFoundException"),
             qPrintable(notices.first().at(2).toString()));
    QCOMPARE(eventCount(connected.sim, "screenrecord"), 0);
}

void TestShellConnection::shellOnlyNeverPushesTheServer()
{
    SimDevice::Options options = phoneWithoutServer("SHELL06", false);
    options.properties.remove("serverless");
    ConnectedForm connected(options);
    connected.params.connection = "shell";
    QVERIFY(startShown(connected));
    for (const QJsonObject& call : connected.sim.invocations()) {
        const QJsonArray argv = call.value("argv").toArray();
        QVERIFY2(!argv.contains(QJsonValue("push")) && !argv.contains(QJsonValue("reverse")),
                 qPrintable(QJsonDocument(argv).toJson(QJsonDocument::Compact)));
    }
    QCOMPARE(eventCount(connected.sim, "screenrecord"), 1);
}

void TestShellConnection::stillScreenIsShownAtOnceAndTheFirstTapWorks()
{
    SimDevice::Options options = phoneWithoutServer("SHELL07", false);
    options.properties.insert("stillScreen", true);
    ConnectedForm connected(options);
    connected.params.maxSize = kMaxSize;
    QElapsedTimer clock;
    clock.start();
    QString why;
    QVERIFY2(connected.start(QSize(144, 320), why), qPrintable(why));
    qInfo("a still screen was shown %lld ms after connecting began", clock.elapsed());
    // The picture is the screen capture's, at the display's size, and nothing was typed to get it.
    QCOMPARE(connected.form->frameSize(), kDisplay);
    QVERIFY(eventCount(connected.sim, "screencap") >= 1);
    QVERIFY(commands(connected.sim, 0).isEmpty());

    const int from = connected.sim.eventLog().size();
    clickCentre(connected.form.get());
    QCOMPARE(waitForCommands(connected, from, 1), QStringList({"input tap 540 1200"}));
    // The tap changed the screen: the recorder's pictures take over.
    QTRY_COMPARE_WITH_TIMEOUT(connected.form->frameSize(), kPicture, 10000);
}

void TestShellConnection::turnedPhoneRestartsTheRecorderAndTapsFollow()
{
    ConnectedForm connected(phoneWithoutServer("SHELL08", false));
    QVERIFY(startShown(connected));
    int from = connected.sim.eventLog().size();
    clickCentre(connected.form.get());
    QCOMPARE(waitForCommands(connected, from, 1), QStringList({"input tap 540 1200"}));

    QElapsedTimer clock;
    clock.start();
    QVERIFY(connected.sim.setProperty(connected.sim.serial(), "orientation", 1));
    QTRY_COMPARE_WITH_TIMEOUT(lastEvent(connected.sim, "screenrecord").value("size").toString(), QString("320x144"),
                              10000);
    qInfo("the recorder started again %lld ms after the phone turned", clock.elapsed());
    QTRY_COMPARE_WITH_TIMEOUT(connected.form->frameSize(), kPicture.transposed(), 10000);
    from = connected.sim.eventLog().size();
    clickCentre(connected.form.get());
    QCOMPARE(waitForCommands(connected, from, 1), QStringList({"input tap 1200 540"}));
}

void TestShellConnection::recorderIsAskedForTheDisplaysRatio()
{
    SimDevice::Options options = phoneWithoutServer("SHELL09", false);
    options.screen = QSize(1080, 2340);
    ConnectedForm connected(options);
    connected.params.maxSize = 1024;
    QString why;
    QVERIFY2(connected.start(QSize(216, 468), why), qPrintable(why));
    QCOMPARE(lastEvent(connected.sim, "screenrecord").value("size").toString(), QString("432x936"));
    QCOMPARE(connected.form->frameSize(), QSize(432, 936));
    const int from = connected.sim.eventLog().size();
    clickCentre(connected.form.get());
    QCOMPARE(waitForCommands(connected, from, 1), QStringList({"input tap 540 1170"}));
}

QTEST_MAIN(TestShellConnection)
#include "tst_shellconnection.moc"

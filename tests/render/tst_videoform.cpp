#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTranslator>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>

#include <vector>

#include "Config.h"
#include "ConnectedForm.h"
#include "KeepRatioWidget.h"
#include "LogCapture.h"
#include "QYUVOpenGLWidget.h"
#include "ShownFrame.h"
#include "VideoForm.h"
#include "device/IDevice.h"
#include "device/IDeviceManage.h"

namespace {

// The simulated stream is 148 x 320; in a 400 x 640 form the video is 296 x 640 at x 52.
const QSize kFormSize(400, 640);
const QRect kVideoRect(52, 0, 296, 640);
const QPoint kVideoCentre(52 + 148, 320);

QYUVOpenGLWidget* videoWidget(VideoForm* form)
{
    return form->findChild<QYUVOpenGLWidget*>();
}

QPushButton* button(VideoForm* form, const QString& name)
{
    return form->findChild<QPushButton*>(name);
}

QString names(const QList<QJsonObject>& messages)
{
    QStringList list;
    for (const QJsonObject& m : messages) {
        list << m.value("name").toString() + "/" + QString::number(m.value("action").toInt(-1));
    }
    return list.join(" ");
}


// A flat grey picture, as the decoder hands it over.
struct GreyFrame
{
    explicit GreyFrame(QSize s) : size(s), y(size_t(s.width() * s.height()), 120), uv(size_t(s.width() * s.height()), 128) {}
    void deliver(VideoForm& form)
    {
        form.onFrame(size.width(), size.height(), y.data(), uv.data(), uv.data(), size.width(), (size.width() + 1) / 2,
                     (size.width() + 1) / 2);
    }
    QSize size;
    std::vector<quint8> y;
    std::vector<quint8> uv;
};


} // namespace

class TestVideoForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void framesFromDeviceArePaintedUpright();
    void leftPressTouchesFrameAndReleaseIsClamped();
    void rightAndMiddleButtonsActAnywhereWithoutTouch();
    void pressesBesideThePictureSendNoRelease();
    void doubleClickOnThePictureIsTwoTaps();
    void escapeThatClosesADialogIsNotSent();
    void wheelIsRebuiltInVideoCoordinates();
    void escapeLeavesFullScreenUnlessRepeated();
    void doubleClickOnBlackBarsFitsTheForm();
    void closeStoresGeometryAndDisconnects();
    void quickBarFollowsSerialAndCorner_data();
    void quickBarFollowsSerialAndCorner();
    void newFrameSizeChangesRatioNotForm();
    void videoWidgetIsReadyBeforeTheFirstFrame();
    void quickBarIsDrawnOverThePicture();
};

void TestVideoForm::initTestCase()
{
    prepareFormTests();
}

void TestVideoForm::framesFromDeviceArePaintedUpright()
{
    // Shown at the stream's own size every texel is one pixel, so the bar code can be read back.
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(QSize(148, 320), why), qPrintable(why));
    QYUVOpenGLWidget* video = videoWidget(connected.form.get());
    QVERIFY(video->isVisible());
    QCOMPARE(video->size(), QSize(148, 320));

    // The very first picture carries the number 0, which a grab may still catch.
    quint32 frameNumber = 0;
    QTRY_VERIFY2_WITH_TIMEOUT((frameNumber = shownFrameNumber(video)) >= 1, qPrintable(QString::number(frameNumber)),
                              5000);
}

void TestVideoForm::leftPressTouchesFrameAndReleaseIsClamped()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));
    QCOMPARE(videoWidget(connected.form.get())->geometry(), kVideoRect);

    LogCapture log;
    connected.mark();
    // Pressed on the picture itself, the event reaches the form the way the mouse delivers it.
    QTest::mousePress(videoWidget(connected.form.get()), Qt::LeftButton, {}, kVideoCentre - kVideoRect.topLeft());
    QTest::mouseRelease(connected.form.get(), Qt::LeftButton, {}, QPoint(kVideoRect.right() + 50, 100));
    const QList<QJsonObject> messages = connected.messagesSinceMark(2);
    QCOMPARE(names(messages), QString("INJECT_TOUCH/0 INJECT_TOUCH/1"));
    QCOMPARE(messages[0].value("x").toInt(), 74);
    QCOMPARE(messages[0].value("y").toInt(), 160);
    QCOMPARE(messages[0].value("screenWidth").toInt(), 148);
    QCOMPARE(messages[0].value("screenHeight").toInt(), 320);
    // Released 50 pixels right of the video: at its right edge, at the height of the release.
    QCOMPARE(messages[1].value("x").toInt(), 148);
    QCOMPARE(messages[1].value("y").toInt(), 50);
    QCOMPARE(log.count(R"("pos": {"x": 0.5, "y": 0.5})"), 1);
}

void TestVideoForm::rightAndMiddleButtonsActAnywhereWithoutTouch()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));

    connected.mark();
    QTest::mouseClick(connected.form.get(), Qt::RightButton, {}, kVideoCentre);
    QTest::mouseClick(connected.form.get(), Qt::RightButton, {}, QPoint(10, 10)); // a black bar
    QCOMPARE(names(connected.messagesUntilMarker()),
             QString("BACK_OR_SCREEN_ON/0 BACK_OR_SCREEN_ON/1 BACK_OR_SCREEN_ON/0 BACK_OR_SCREEN_ON/1"));

    connected.mark();
    QTest::mouseClick(connected.form.get(), Qt::MiddleButton, {}, QPoint(10, 10));
    const QList<QJsonObject> messages = connected.messagesUntilMarker();
    // Home down and up, and no touch for the button's release.
    QCOMPARE(names(messages), QString("INJECT_KEYCODE/0 INJECT_KEYCODE/1"));
    QCOMPARE(messages[0].value("keycode").toInt(), 3);

    connected.mark();
    QTest::mouseClick(connected.form.get(), Qt::MiddleButton, {}, kVideoCentre);
    QCOMPARE(names(connected.messagesUntilMarker()), QString("INJECT_KEYCODE/0 INJECT_KEYCODE/1"));
}

void TestVideoForm::pressesBesideThePictureSendNoRelease()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));
    VideoForm* form = connected.form.get();

    connected.mark();
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(10, 300));
    // A drag from a bar onto the picture: no touch at all.
    QTest::mousePress(form, Qt::LeftButton, {}, QPoint(10, 300));
    QMouseEvent move(QEvent::MouseMove, QPointF(kVideoCentre), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form, &move);
    QTest::mouseRelease(form, Qt::LeftButton, {}, kVideoCentre);
    QCOMPARE(names(connected.messagesUntilMarker()), QString());
}

void TestVideoForm::doubleClickOnThePictureIsTwoTaps()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));

    connected.mark();
    // The order the platform delivers a double click in: the double click takes the second press's place.
    VideoForm* form = connected.form.get();
    QTest::mouseClick(form, Qt::LeftButton, {}, kVideoCentre);
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(kVideoCentre), form->mapToGlobal(kVideoCentre),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form, &twice);
    QTest::mouseRelease(form, Qt::LeftButton, {}, kVideoCentre);
    QCOMPARE(names(connected.messagesUntilMarker()), QString("INJECT_TOUCH/0 INJECT_TOUCH/1 INJECT_TOUCH/0 INJECT_TOUCH/1"));
}

void TestVideoForm::escapeThatClosesADialogIsNotSent()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));
    connected.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(connected.form.get()));

    connected.mark();
    QDialog dialog(connected.form.get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyPress(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    // The key comes up once the dialog is gone, over the form.
    QTest::keyRelease(connected.form.get(), Qt::Key_Escape);
    QCOMPARE(names(connected.messagesUntilMarker()), QString());
}

void TestVideoForm::wheelIsRebuiltInVideoCoordinates()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));
    VideoForm* form = connected.form.get();

    connected.mark();
    const QPoint global = form->mapToGlobal(kVideoCentre);
    QWheelEvent outside(QPointF(10, 10), form->mapToGlobal(QPoint(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form, &outside);
    QWheelEvent inside(QPointF(kVideoCentre), QPointF(global), QPoint(), QPoint(0, -120), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form, &inside);
    const QList<QJsonObject> messages = connected.messagesUntilMarker();
    QCOMPARE(names(messages), QString("INJECT_SCROLL/-1"));
    QCOMPARE(messages[0].value("x").toInt(), 74);
    QCOMPARE(messages[0].value("y").toInt(), 160);
    QVERIFY(messages[0].value("vscroll").toInt() < 0);
}

void TestVideoForm::escapeLeavesFullScreenUnlessRepeated()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));
    QMainWindow window;
    window.setCentralWidget(connected.form.get());
    window.showFullScreen();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.isFullScreen());
    QSignalSpy switched(connected.form.get(), &VideoForm::fullScreenSwitch);

    connected.mark();
    QTest::keyClick(connected.form.get(), Qt::Key_Escape);
    QCOMPARE(switched.count(), 1);
    QCOMPARE(switched.first().first().toBool(), false);
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(connected.form.get(), &repeated);
    QCOMPARE(switched.count(), 1);
    // The release of the press that left full screen stays here too.
    QList<QJsonObject> messages = connected.messagesUntilMarker();
    QCOMPARE(names(messages), QString("INJECT_KEYCODE/0"));
    QCOMPARE(messages[0].value("keycode").toInt(), 111);
    QCOMPARE(messages[0].value("repeat").toInt(), 1);

    window.showNormal();
    QTRY_VERIFY(!window.isFullScreen());
    connected.mark();
    QTest::keyClick(connected.form.get(), Qt::Key_Escape);
    messages = connected.messagesUntilMarker();
    QCOMPARE(names(messages), QString("INJECT_KEYCODE/0 INJECT_KEYCODE/1"));
    QCOMPARE(messages[0].value("keycode").toInt(), 111);
    QCOMPARE(switched.count(), 1);
    window.takeCentralWidget();
}

void TestVideoForm::doubleClickOnBlackBarsFitsTheForm()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));
    QTest::mouseDClick(connected.form.get(), Qt::LeftButton, {}, QPoint(10, 300));
    QCOMPARE(connected.form->size(), kVideoRect.size());
}

void TestVideoForm::closeStoresGeometryAndDisconnects()
{
    ConnectedForm connected;
    QString why;
    QVERIFY2(connected.start(kFormSize, why), qPrintable(why));
    connected.form->move(30, 40);
    QSignalSpy disconnected(&dvk::IDeviceManage::getInstance(), &dvk::IDeviceManage::deviceDisconnected);

    QVERIFY(connected.form->close());
    QCOMPARE(disconnected.count(), 1);
    QSettings userData(Config::getConfigPath() + "/userdata.ini", QSettings::IniFormat);
    userData.beginGroup(connected.sim.serial());
    QCOMPARE(userData.value("WindowRectX").toInt(), connected.form->geometry().x());
    QCOMPARE(userData.value("WindowRectY").toInt(), connected.form->geometry().y());
    QCOMPARE(userData.value("WindowRectW").toInt(), kFormSize.width());
    QCOMPARE(userData.value("WindowRectH").toInt(), kFormSize.height());
}

void TestVideoForm::quickBarFollowsSerialAndCorner_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("wireless");
    QTest::newRow("ip and port") << "192.0.2.7:5555" << true;
    QTest::newRow("usb serial") << "SIM0001" << false;
    QTest::newRow("port with a leading zero") << "192.0.2.7:05555" << false;
    QTest::newRow("no port") << "192.0.2.7" << false;
    QTest::newRow("octet above 255") << "192.0.2.256:5555" << false;
    QTest::newRow("port above 65535") << "192.0.2.7:65536" << false;
}

void TestVideoForm::quickBarFollowsSerialAndCorner()
{
    QFETCH(QString, serial);
    QFETCH(bool, wireless);
    VideoForm form;
    form.setSerial(serial);
    form.resize(500, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.isWirelessConnected(), wireless);

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&form, &enter);
    QVERIFY(button(&form, "fullScreenButton")->isVisible());
    QVERIFY(!button(&form, "normalScreenButton")->isVisible());
    QCOMPARE(button(&form, "wirelessButton")->isVisible(), !wireless);
    QCOMPARE(button(&form, "fullScreenButton")->pos(), QPoint(500 - 69, 700 - 69));
    QCOMPARE(button(&form, "wirelessButton")->pos(), QPoint(500 - 275, 700 - 85));

    // Narrower than the bar, as a portrait phone's window is: the wireless button stays whole
    // inside the form, clear of the screen button.
    form.resize(250, 540);
    QTRY_COMPARE(form.size(), QSize(250, 540));
    const QRect wirelessArea = button(&form, "wirelessButton")->geometry();
    QVERIFY2(form.rect().contains(wirelessArea), qPrintable(QString("%1,%2").arg(wirelessArea.x()).arg(wirelessArea.y())));
    QVERIFY(!wirelessArea.intersects(button(&form, "fullScreenButton")->geometry()));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&form, &leave);
    QVERIFY(!button(&form, "fullScreenButton")->isVisible());
    QVERIFY(!button(&form, "wirelessButton")->isVisible());
}

void TestVideoForm::newFrameSizeChangesRatioNotForm()
{
    VideoForm form;
    form.resize(600, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    KeepRatioWidget* keepRatio = form.findChild<KeepRatioWidget*>("keepRatioWidget");
    QCOMPARE(keepRatio->goodSize(), QSize(-1, -1));
    QCOMPARE(form.frameSize(), QSize(-1, -1));
    QVERIFY(videoWidget(&form)->isHidden());

    // Fitting before any picture has no size to fit to and leaves the form alone.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(form.size(), QSize(600, 600));

    GreyFrame portrait(QSize(150, 300));
    portrait.deliver(form);
    QVERIFY(videoWidget(&form)->isVisible());
    QCOMPARE(videoWidget(&form)->geometry(), QRect(150, 0, 300, 600));
    GreyFrame landscape(QSize(301, 99));
    landscape.deliver(form);
    QCOMPARE(form.frameSize(), QSize(301, 99));
    QCOMPARE(videoWidget(&form)->frameSize(), QSize(301, 99));
    QCOMPARE(videoWidget(&form)->geometry(), QRect(0, (600 - 197) / 2, 600, 197));
    QCOMPARE(keepRatio->goodSize(), QSize(600, 197));
    QCOMPARE(form.size(), QSize(600, 600));

    QTest::keyClick(&form, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(form.size(), QSize(600, 197));
}

void TestVideoForm::videoWidgetIsReadyBeforeTheFirstFrame()
{
    VideoForm form;
    form.resize(400, 640);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QYUVOpenGLWidget* video = videoWidget(&form);
    // The context is made while no frame is there, and the form still shows only its background.
    QTRY_VERIFY(video->isValid());
    QVERIFY(video->isHidden());
    const QImage before = form.grab().toImage();
    QCOMPARE(before.pixelColor(200, 320), QColor("#0A0F1B"));

    GreyFrame grey(QSize(200, 320));
    grey.deliver(form);
    QVERIFY(video->isVisible());
    QCOMPARE(lumaOf(video->grabFramebuffer().pixel(100, 160)), quint8(120));

    // A form hidden before its turn comes leaves the widget alone.
    VideoForm hidden;
    hidden.show();
    hidden.hide();
    QTest::qWait(0);
    QCoreApplication::processEvents();
    QVERIFY(!videoWidget(&hidden)->isValid());
}

void TestVideoForm::quickBarIsDrawnOverThePicture()
{
    // The texts as the program shows them in English.
    QTranslator english;
    QVERIFY(english.load(":/i18n/en_US.qm"));
    QCoreApplication::installTranslator(&english);
    SimDevice::Options options;
    options.sizeLimit = 720;
    ConnectedForm connected(options);
    QString why;
    QVERIFY2(connected.start(QSize(720, 900), why), qPrintable(why));
    VideoForm* form = connected.form.get();
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(form, &enter);
    QPushButton* fullScreen = button(form, "fullScreenButton");
    QPushButton* wireless = button(form, "wirelessButton");
    QVERIFY(fullScreen->isVisible() && wireless->isVisible());
    QCOMPARE(wireless->text(), QString("Wireless"));

    // What the screen shows, composition included, once the picture and the buttons have reached it.
    const QRect video = videoWidget(form)->geometry();
    const QRgb background = QColor("#0A0F1B").rgb() & 0xFFFFFF;
    const auto showsPicture = [&](const QImage& image) {
        const QRgb centre = image.pixel(video.center()) & 0xFFFFFF;
        return centre != 0 && centre != background;
    };
    // The full-screen button's image lies over the black bar, where only the background would be.
    const auto showsButton = [&](const QImage& image) {
        int drawn = 0;
        for (int y = 0; y < fullScreen->height(); ++y) {
            for (int x = 0; x < fullScreen->width(); ++x) {
                drawn += (image.pixel(fullScreen->pos() + QPoint(x, y)) & 0xFFFFFF) != background;
            }
        }
        return drawn > fullScreen->width() * 4;
    };
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(
        (shot = form->screen()->grabWindow(form->winId()).toImage(), showsPicture(shot) && showsButton(shot)), 10000);
    QCOMPARE(shot.size(), form->size() * form->devicePixelRatioF());
    QVERIFY(video.width() < form->width());
    QCOMPARE(shot.pixel(5, 5) & 0xFFFFFF, background);
    const QString folder = qEnvironmentVariable("VADIZEDE_SCREENSHOTS");
    if (!folder.isEmpty()) {
        shot.save(QDir(folder).filePath("video-form-quick-bar.png"));
    }
}

QTEST_MAIN(TestVideoForm)
#include "tst_videoform.moc"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QtTest>

#include <X11/Xlib.h>

#include "MouseTap.h"
#include "NullMouseTap.h"
#include "X11MouseTap.h"

// Moves and reads the pointer through a second X connection, as another program on the desktop would.
class TestMouseTap : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void implementationFollowsPlatform();
    void warpsStayInsideWhileConfined();
    void emptyRectangleConfinesNothing();
    void confinedWindowStillGetsPointerEvents();

private:
    QPoint warp(int x, int y);

    Display* m_display = nullptr;
};

QPoint TestMouseTap::warp(int x, int y)
{
    XWarpPointer(m_display, None, DefaultRootWindow(m_display), 0, 0, 0, 0, x, y);
    XSync(m_display, False);
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int winX = 0;
    int winY = 0;
    unsigned int mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &winX, &winY, &mask);
    return QPoint(rootX, rootY);
}

void TestMouseTap::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb") {
        return;
    }
    m_display = XOpenDisplay(nullptr);
    QVERIFY(m_display);
    MouseTap::getInstance()->initMouseEventTap();
}

void TestMouseTap::cleanupTestCase()
{
    MouseTap::getInstance()->quitMouseEventTap();
    if (m_display) {
        XCloseDisplay(m_display);
    }
}

void TestMouseTap::implementationFollowsPlatform()
{
    MouseTap* tap = MouseTap::getInstance();
    QCOMPARE(MouseTap::getInstance(), tap);
    if (QGuiApplication::platformName() == "xcb") {
        QVERIFY(dynamic_cast<X11MouseTap*>(tap));
    } else {
        QVERIFY(dynamic_cast<NullMouseTap*>(tap));
    }
}

void TestMouseTap::warpsStayInsideWhileConfined()
{
    if (!m_display) {
        QSKIP("needs an X display");
    }
    const QRect area(QPoint(100, 120), QPoint(299, 319));
    MouseTap::getInstance()->enableMouseEventTap(area, true);

    // The pointer is brought into the rectangle and stays there; both inclusive edges are reachable.
    QVERIFY(area.contains(warp(10, 10)));
    QCOMPARE(warp(10, 10), QPoint(100, 120));
    QCOMPARE(warp(1000, 1000), QPoint(299, 319));
    QCOMPARE(warp(200, 200), QPoint(200, 200));

    // Enabling again with another rectangle moves the confinement.
    const QRect other(QPoint(400, 400), QPoint(449, 449));
    MouseTap::getInstance()->enableMouseEventTap(other, true);
    QCOMPARE(warp(10, 10), QPoint(400, 400));

    MouseTap::getInstance()->enableMouseEventTap(QRect(), false);
    QCOMPARE(warp(10, 10), QPoint(10, 10));
    QCOMPARE(warp(1000, 700), QPoint(1000, 700));
}

void TestMouseTap::emptyRectangleConfinesNothing()
{
    if (!m_display) {
        QSKIP("needs an X display");
    }
    MouseTap::getInstance()->enableMouseEventTap(QRect(QPoint(300, 300), QPoint(299, 400)), true);
    QCOMPARE(warp(5, 6), QPoint(5, 6));
    MouseTap::getInstance()->enableMouseEventTap(QRect(), false);
}

// Records where the pointer moved over a widget.
class MoveRecorder : public QObject
{
public:
    QPoint last;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            last = static_cast<QMouseEvent*>(event)->globalPos();
        }
        return QObject::eventFilter(watched, event);
    }
};

void TestMouseTap::confinedWindowStillGetsPointerEvents()
{
    if (!m_display) {
        QSKIP("needs an X display");
    }
    QWidget video;
    video.setWindowFlags(Qt::FramelessWindowHint);
    video.setMouseTracking(true);
    video.setGeometry(100, 120, 200, 200);
    MoveRecorder recorder;
    video.installEventFilter(&recorder);
    video.show();
    QVERIFY(QTest::qWaitForWindowExposed(&video));

    MouseTap::getInstance()->enableMouseEventTap(QRect(QPoint(100, 120), QPoint(299, 319)), true);
    warp(150, 170);
    QTRY_COMPARE(recorder.last, QPoint(150, 170));
    warp(5, 250);
    QTRY_COMPARE(recorder.last, QPoint(100, 250));
    MouseTap::getInstance()->enableMouseEventTap(QRect(), false);
}

int main(int argc, char* argv[])
{
    // Without a display the no-op implementation is the one to check.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TestMouseTap test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mousetap.moc"

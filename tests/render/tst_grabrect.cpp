#include <QCursor>
#include <QtTest>

#include <vector>

#include "VideoForm.h"

// Run once at the screen's own scale and once with Qt scaling the window by 1.5.
class TestGrabRect : public QObject
{
    Q_OBJECT
private slots:
    void rectangleOfVideoOnScreen();
    void releaseWithoutGrabIsHarmless();
};

void TestGrabRect::rectangleOfVideoOnScreen()
{
    // A 540 x 960 video at (100, 200) on screen: the form at that place, filled by a picture of that ratio.
    VideoForm form;
    form.move(100, 200);
    form.resize(540, 960);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    std::vector<quint8> luma(270 * 480, 100);
    std::vector<quint8> chroma(135 * 240, 128);
    form.onFrame(270, 480, luma.data(), chroma.data(), chroma.data(), 270, 135, 135);
    QTRY_COMPARE(form.mapToGlobal(QPoint(0, 0)), QPoint(100, 200));

    const qreal ratio = form.devicePixelRatioF();
    if (qFuzzyCompare(ratio, 1.0)) {
        QCOMPARE(form.getGrabCursorRect(), QRect(QPoint(110, 210), QPoint(619, 1139)));
    } else if (qFuzzyCompare(ratio, 1.5)) {
        QCOMPARE(form.getGrabCursorRect(), QRect(QPoint(160, 310), QPoint(939, 1719)));
    } else {
        QFAIL(qPrintable(QString("unexpected device pixel ratio %1").arg(ratio)));
    }
}

void TestGrabRect::releaseWithoutGrabIsHarmless()
{
    VideoForm form;
    form.resize(300, 300);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.grabCursor(false);
    QCursor::setPos(700, 600);
    QTRY_COMPARE(QCursor::pos(), QPoint(700, 600));

    form.grabCursor(true);
    form.grabCursor(false);
    QCursor::setPos(650, 500);
    QTRY_COMPARE(QCursor::pos(), QPoint(650, 500));
}

QTEST_MAIN(TestGrabRect)
#include "tst_grabrect.moc"

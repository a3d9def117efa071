#include <QImage>
#include <QtTest>

#include <vector>

#include "LogCapture.h"
#include "QYUVOpenGLWidget.h"

namespace {

// One 4:2:0 picture with its own line sizes; the padding after each line is filled with a value
// that shows up at once if it is ever drawn.
struct YuvFrame
{
    YuvFrame(QSize frameSize, int padding = 0) : size(frameSize)
    {
        const QSize chroma((size.width() + 1) / 2, (size.height() + 1) / 2);
        linesize[0] = size.width() + padding;
        linesize[1] = linesize[2] = chroma.width() + padding;
        plane[0].assign(size_t(linesize[0] * size.height()), 255);
        plane[1].assign(size_t(linesize[1] * chroma.height()), 255);
        plane[2].assign(size_t(linesize[2] * chroma.height()), 255);
    }

    QSize planeSize(int index) const
    {
        return index == 0 ? size : QSize((size.width() + 1) / 2, (size.height() + 1) / 2);
    }

    template <typename F> void fill(int index, F valueAt)
    {
        const QSize s = planeSize(index);
        for (int y = 0; y < s.height(); ++y) {
            for (int x = 0; x < s.width(); ++x) {
                plane[index][size_t(y * linesize[index] + x)] = quint8(valueAt(x, y));
            }
        }
    }

    void fillFlat(int y, int u, int v)
    {
        fill(0, [y](int, int) { return y; });
        fill(1, [u](int, int) { return u; });
        fill(2, [v](int, int) { return v; });
    }

    void show(QYUVOpenGLWidget& widget)
    {
        widget.setFrameSize(size);
        widget.updateTextures(plane[0].data(), plane[1].data(), plane[2].data(), quint32(linesize[0]),
                              quint32(linesize[1]), quint32(linesize[2]));
    }

    QSize size;
    int linesize[3];
    std::vector<quint8> plane[3];
};

// What the BT.709 limited-range conversion gives for one sample, as 0..255.
QRgb expectedRgb(int y, int u, int v)
{
    const double yy = y / 255.0 - 0.0625;
    const double uu = u / 255.0 - 0.5;
    const double vv = v / 255.0 - 0.5;
    const auto channel = [](double value) { return qBound(0, qRound(value * 255.0), 255); };
    return qRgb(channel(1.1644 * yy + 1.7927 * vv), channel(1.1644 * yy - 0.2132 * uu - 0.5329 * vv),
                channel(1.1644 * yy + 2.1124 * uu));
}

bool near(QRgb seen, QRgb expected, int tolerance = 2)
{
    return qAbs(qRed(seen) - qRed(expected)) <= tolerance && qAbs(qGreen(seen) - qGreen(expected)) <= tolerance
           && qAbs(qBlue(seen) - qBlue(expected)) <= tolerance;
}

QString describe(QRgb rgb)
{
    return QString("(%1, %2, %3)").arg(qRed(rgb)).arg(qGreen(rgb)).arg(qBlue(rgb));
}

bool isBlack(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

class TestYuvRenderer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void blackBeforeAnyFrame();
    void convertsWithBt709LimitedRange_data();
    void convertsWithBt709LimitedRange();
    void paddedLinesAreSkippedWithoutSkew();
    void oddSizesUseRoundedUpChroma();
    void clearBlacksOnePaintOnly();
    void frameOfNewSizeWhileHiddenIsNotLost();
    void unusableFramesAreDroppedAndLogged();
    void keepsDrawingAfterMovingToAnotherWindow();
    void sizeHints();

private:
    // The widget shows the frame pixel for pixel, so that read-back pixels are texel values.
    void showWidget(const QSize& size);

    QYUVOpenGLWidget* m_widget = nullptr;
};

void TestYuvRenderer::init()
{
    m_widget = new QYUVOpenGLWidget();
}

void TestYuvRenderer::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
}

void TestYuvRenderer::showWidget(const QSize& size)
{
    m_widget->setFixedSize(size);
    m_widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_widget));
}

void TestYuvRenderer::blackBeforeAnyFrame()
{
    showWidget(QSize(40, 30));
    const QImage image = m_widget->grabFramebuffer();
    QCOMPARE(image.size(), QSize(40, 30));
    QVERIFY(isBlack(image));
}

void TestYuvRenderer::convertsWithBt709LimitedRange_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("u");
    QTest::addColumn<int>("v");
    QTest::newRow("video black") << 16 << 128 << 128;
    QTest::newRow("video white") << 235 << 128 << 128;
    QTest::newRow("mid grey") << 126 << 128 << 128;
    QTest::newRow("red") << 63 << 102 << 240;
    QTest::newRow("green") << 173 << 42 << 26;
    QTest::newRow("blue") << 32 << 240 << 118;
    QTest::newRow("skin tone") << 150 << 110 << 160;
    QTest::newRow("clamped below") << 0 << 16 << 16;
    QTest::newRow("clamped above") << 255 << 240 << 240;
}

void TestYuvRenderer::convertsWithBt709LimitedRange()
{
    QFETCH(int, y);
    QFETCH(int, u);
    QFETCH(int, v);
    const QSize size(32, 16);
    showWidget(size);
    YuvFrame frame(size);
    frame.fillFlat(y, u, v);
    frame.show(*m_widget);

    const QImage image = m_widget->grabFramebuffer();
    const QRgb expected = expectedRgb(y, u, v);
    for (const QPoint& at : {QPoint(0, 0), QPoint(16, 8), QPoint(31, 15)}) {
        const QRgb seen = image.pixel(at);
        QVERIFY2(near(seen, expected),
                 qPrintable(QString("at %1,%2 saw %3, expected %4")
                                .arg(at.x())
                                .arg(at.y())
                                .arg(describe(seen), describe(expected))));
    }
}

void TestYuvRenderer::paddedLinesAreSkippedWithoutSkew()
{
    // Left half dark, right half bright, top half one chroma, bottom half another: any wrong stride
    // moves the edges from line to line and the bright padding would show.
    const QSize size(64, 32);
    showWidget(size);
    YuvFrame frame(size, 37);
    frame.fill(0, [](int x, int) { return x < 32 ? 40 : 200; });
    frame.fill(1, [](int, int y) { return y < 8 ? 90 : 170; });
    frame.fill(2, [](int, int) { return 128; });
    frame.show(*m_widget);

    const QImage image = m_widget->grabFramebuffer();
    for (int y = 0; y < size.height(); ++y) {
        const int u = y < 16 ? 90 : 170;
        for (int x : {0, 29, 34, 63}) {
            if (y == 15 || y == 16) {
                continue; // the chroma edge is filtered across these two lines
            }
            const QRgb expected = expectedRgb(x < 32 ? 40 : 200, u, 128);
            const QRgb seen = image.pixel(x, y);
            QVERIFY2(near(seen, expected), qPrintable(QString("at %1,%2 saw %3, expected %4")
                                                          .arg(x)
                                                          .arg(y)
                                                          .arg(describe(seen), describe(expected))));
        }
    }
}

void TestYuvRenderer::oddSizesUseRoundedUpChroma()
{
    // 63 x 31 has 32 x 16 chroma; tight lines of odd length must not be read as if padded.
    const QSize size(63, 31);
    showWidget(size);
    YuvFrame frame(size);
    frame.fill(0, [](int x, int y) { return 60 + x + y; });
    frame.fill(1, [](int x, int) { return x == 31 ? 200 : 128; });
    frame.fill(2, [](int, int y) { return y == 15 ? 60 : 128; });
    frame.show(*m_widget);

    const QImage image = m_widget->grabFramebuffer();
    struct Probe
    {
        QPoint at;
        int u;
        int v;
    };
    for (const Probe& probe : {Probe{QPoint(0, 0), 128, 128}, Probe{QPoint(62, 0), 200, 128},
                               Probe{QPoint(0, 30), 128, 60}, Probe{QPoint(62, 30), 200, 60}}) {
        const QRgb expected = expectedRgb(60 + probe.at.x() + probe.at.y(), probe.u, probe.v);
        const QRgb seen = image.pixel(probe.at);
        QVERIFY2(near(seen, expected), qPrintable(QString("at %1,%2 saw %3, expected %4")
                                                      .arg(probe.at.x())
                                                      .arg(probe.at.y())
                                                      .arg(describe(seen), describe(expected))));
    }
}

void TestYuvRenderer::clearBlacksOnePaintOnly()
{
    const QSize size(32, 16);
    showWidget(size);
    YuvFrame frame(size);
    frame.fillFlat(180, 100, 150);
    frame.show(*m_widget);
    QVERIFY(near(m_widget->grabFramebuffer().pixel(5, 5), expectedRgb(180, 100, 150)));

    m_widget->clear();
    QVERIFY(isBlack(m_widget->grabFramebuffer()));
    QVERIFY(near(m_widget->grabFramebuffer().pixel(5, 5), expectedRgb(180, 100, 150)));
}

void TestYuvRenderer::frameOfNewSizeWhileHiddenIsNotLost()
{
    showWidget(QSize(32, 16));
    YuvFrame first(QSize(32, 16));
    first.fillFlat(100, 128, 128);
    first.show(*m_widget);

    // Hidden, the widget gets no repaint between the new size and the frame.
    m_widget->hide();
    YuvFrame second(QSize(16, 8));
    second.fillFlat(200, 90, 200);
    second.show(*m_widget);
    QCOMPARE(m_widget->frameSize(), QSize(16, 8));

    m_widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_widget));
    const QRgb seen = m_widget->grabFramebuffer().pixel(20, 10);
    QVERIFY2(near(seen, expectedRgb(200, 90, 200)), qPrintable(describe(seen)));
}

void TestYuvRenderer::unusableFramesAreDroppedAndLogged()
{
    // Before the first paint there are no textures to upload to.
    YuvFrame frame(QSize(32, 16));
    frame.fillFlat(180, 128, 128);
    {
        LogCapture log;
        frame.show(*m_widget);
        QCOMPARE(log.countStartingWith("updateTextures m_textureInited: false, dataY: "), 1);
    }

    showWidget(QSize(32, 16));
    frame.show(*m_widget);
    const QRgb shown = expectedRgb(180, 128, 128);
    QVERIFY(near(m_widget->grabFramebuffer().pixel(3, 3), shown));

    LogCapture log;
    YuvFrame other(QSize(32, 16));
    other.fillFlat(30, 200, 60);
    m_widget->updateTextures(other.plane[0].data(), nullptr, other.plane[2].data(), 32, 16, 16);
    // A line shorter than the plane, or a negative one seen as unsigned, would read outside it.
    m_widget->updateTextures(other.plane[0].data(), other.plane[1].data(), other.plane[2].data(), 31, 16, 16);
    m_widget->updateTextures(other.plane[0].data(), other.plane[1].data(), other.plane[2].data(), quint32(-32), 16,
                             16);
    QCOMPARE(log.countStartingWith("updateTextures m_textureInited: true, dataY: "), 3);
    QVERIFY(log.lines().first().contains(", dataU: 0x0, dataV: "));
    QVERIFY(log.lines().first().endsWith(", linesizeY: 32, linesizeU: 16, linesizeV: 16"));
    QVERIFY(near(m_widget->grabFramebuffer().pixel(3, 3), shown));
}

void TestYuvRenderer::keepsDrawingAfterMovingToAnotherWindow()
{
    // As the main window does with the video form: shown alone first, then put inside a window.
    showWidget(QSize(32, 16));
    YuvFrame frame(QSize(32, 16));
    frame.fillFlat(90, 160, 100);
    frame.show(*m_widget);

    QWidget window;
    window.resize(100, 100);
    m_widget->setParent(&window);
    m_widget->move(10, 10);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    frame.fillFlat(200, 100, 150);
    frame.show(*m_widget);
    const QRgb seen = m_widget->grabFramebuffer().pixel(16, 8);
    QVERIFY2(near(seen, expectedRgb(200, 100, 150)), qPrintable(describe(seen)));
    m_widget->setParent(nullptr);
}

void TestYuvRenderer::sizeHints()
{
    m_widget->resize(300, 200);
    QCOMPARE(m_widget->sizeHint(), QSize(300, 200));
    m_widget->setFrameSize(QSize(1080, 2400));
    QCOMPARE(m_widget->minimumSizeHint(), QSize(50, 50));
}

QTEST_MAIN(TestYuvRenderer)
#include "tst_yuvrenderer.moc"

#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

// The compiled-in images: each one the program names loads, has the size the widgets were laid out
// for, and the hover variants really are drawn in the accent colour.
class TestImages : public QObject
{
    Q_OBJECT
private slots:
    void everyResourceImageLoads();
    void namedImageHasItsSize_data();
    void namedImageHasItsSize();
    void hoverVariantIsTheIconInTheAccentColour();
    void everyPathTheSourcesNameLoads();
    void everyRenderedFileIsCompiledIn();
};

static const QColor kAccent(0x42, 0x8A, 0xFF);

static QStringList resourceImages()
{
    QStringList paths;
    QDirIterator it(":/images", QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

static bool isAccent(QRgb px)
{
    if (qAlpha(px) < 200)
        return false;
    return qAbs(qRed(px) - kAccent.red()) < 24 && qAbs(qGreen(px) - kAccent.green()) < 24
        && qAbs(qBlue(px) - kAccent.blue()) < 24;
}

static int countPixels(const QImage& image, bool (*test)(QRgb))
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            n += test(argb.pixel(x, y)) ? 1 : 0;
    return n;
}

void TestImages::everyResourceImageLoads()
{
    const QStringList paths = resourceImages();
    QVERIFY2(!paths.isEmpty(), "no images compiled in");
    for (const QString& path : paths) {
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + ": " + reader.errorString()));
        QVERIFY2(image.hasAlphaChannel(), qPrintable(path + " has no transparency"));
    }
}

void TestImages::namedImageHasItsSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    // Tool bar icons are painted at 32 x 32 and rendered at twice that.
    for (const char* icon : { "home", "back", "setting", "snapshot", "uninstall", "recent", "logcat", "adb", "more" }) {
        const QString base = QString(":/images/toolbar/%1").arg(icon);
        QTest::newRow(icon) << base + ".png" << QSize(64, 64);
        QTest::newRow(qPrintable(QString(icon) + "_h")) << base + "_h.png" << QSize(64, 64);
    }
    // The divider is scaled to 164 x 1 keeping its ratio, so its ratio must be exactly that.
    QTest::newRow("split") << ":/images/toolbar/split.png" << QSize(164, 1);
    QTest::newRow("more menu") << ":/images/toolbar/bg_more_menu.png" << QSize(218, 226);
    QTest::newRow("install tip") << ":/images/toolbar/bg_install_tip.png" << QSize(372, 194);
    QTest::newRow("fullscreen") << ":/images/quickbar/fullscreen.png" << QSize(86, 86);
    QTest::newRow("fullscreen_h") << ":/images/quickbar/fullscreen_h.png" << QSize(86, 86);
    QTest::newRow("normalscreen") << ":/images/quickbar/normalscreen.png" << QSize(86, 86);
    QTest::newRow("normalscreen_h") << ":/images/quickbar/normalscreen_h.png" << QSize(86, 86);
    QTest::newRow("wireless") << ":/images/quickbar/bg_button.png" << QSize(412, 170);
    QTest::newRow("close") << ":/images/other/close.png" << QSize(70, 70);
    QTest::newRow("success") << ":/images/other/success.png" << QSize(104, 104);
    // Style-sheet indicator images are drawn unscaled, so these stay at the indicator's size.
    QTest::newRow("radio_n") << ":images/other/radio_n" << QSize(18, 18);
    QTest::newRow("radio_s") << ":images/other/radio_s" << QSize(18, 18);
    QTest::newRow("logo_bg") << ":/images/other/logo_bg.png" << QSize(984, 96);
    QTest::newRow("logo") << ":/images/logo/logo.png" << QSize(328, 30);
    for (int size : { 16, 32, 48, 64, 128, 256 })
        QTest::newRow(qPrintable(QString("icon %1").arg(size)))
            << QString(":/images/logo/vadizede-%1.png").arg(size) << QSize(size, size);
}

void TestImages::namedImageHasItsSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path + " does not load"));
    QCOMPARE(image.size(), size);
}

void TestImages::hoverVariantIsTheIconInTheAccentColour()
{
    int variants = 0;
    for (const QString& hoverPath : resourceImages()) {
        if (!hoverPath.endsWith("_h.png"))
            continue;
        ++variants;
        const QString normalPath = hoverPath.chopped(6) + ".png";
        const QImage hover(hoverPath);
        const QImage normal(normalPath);
        QVERIFY2(!normal.isNull(), qPrintable(hoverPath + " has no normal image"));
        QCOMPARE(hover.size(), normal.size());
        // Same shape: the opaque pixels coincide; different colour: only the hover one is accent.
        QCOMPARE(countPixels(hover, [](QRgb p) { return qAlpha(p) > 128; }),
                 countPixels(normal, [](QRgb p) { return qAlpha(p) > 128; }));
        QVERIFY2(countPixels(hover, isAccent) > hover.width() * 2, qPrintable(hoverPath + " is not in the accent colour"));
        QVERIFY2(countPixels(normal, isAccent) == 0, qPrintable(normalPath + " already shows the accent colour"));
    }
    QCOMPARE(variants, 11);
}

// Image paths in code, forms and style sheets, found the way a reader would: by their resource prefix.
void TestImages::everyPathTheSourcesNameLoads()
{
    const QRegularExpression pathRe(":/?images/[A-Za-z0-9_./-]+");
    const QDir source(VADIZEDE_SOURCE_DIR);
    int found = 0;
    for (const char* dir : { "app", "res/style" }) {
        QDirIterator it(source.filePath(dir), { "*.cpp", "*.h", "*.ui", "*.qss" }, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            auto matches = pathRe.globalMatch(QString::fromUtf8(f.readAll()));
            while (matches.hasNext()) {
                const QString path = matches.next().captured();
                ++found;
                QVERIFY2(!QImage(path).isNull(), qPrintable(source.relativeFilePath(file) + " names " + path + ", which does not load"));
            }
        }
    }
    qInfo("%d image references checked", found);
}

void TestImages::everyRenderedFileIsCompiledIn()
{
    const QDir images(QString(VADIZEDE_SOURCE_DIR) + "/res/images");
    QSet<QString> onDisk;
    QSet<QString> sources;
    QDirIterator it(images.path(), { "*.png", "*.svg" }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = images.relativeFilePath(it.next());
        (rel.endsWith(".png") ? onDisk : sources) << rel;
    }
    QSet<QString> compiled;
    for (const QString& path : resourceImages())
        compiled << path.mid(QString(":/images/").size());
    QCOMPARE(compiled, onDisk);
    // Every drawing has been rendered (the application icon to numbered sizes).
    for (const QString& svg : sources) {
        const QString stem = svg.chopped(4);
        const bool rendered = onDisk.contains(stem + ".png") || onDisk.contains(stem + "-256.png");
        QVERIFY2(rendered, qPrintable(svg + " has no rendered PNG"));
    }
}

QTEST_GUILESS_MAIN(TestImages)
#include "tst_images.moc"

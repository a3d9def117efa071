#ifndef SHOWNFRAME_H
#define SHOWNFRAME_H

#include <QImage>

#include <vector>

#include "QYUVOpenGLWidget.h"
#include "TestPattern.h"

// The limited-range luma a BT.709 picture of this colour came from.
inline quint8 lumaOf(QRgb rgb)
{
    const double full = 0.2126 * qRed(rgb) + 0.7152 * qGreen(rgb) + 0.0722 * qBlue(rgb);
    return quint8(qBound(0.0, 16.0 + full / 1.1644 + 0.5, 255.0));
}

// The number the test pattern's bar code carries in the picture the widget paints.
inline quint32 shownFrameNumber(QYUVOpenGLWidget* video)
{
    const QImage image = video->grabFramebuffer();
    std::vector<quint8> luma(size_t(image.width() * image.height()));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            luma[size_t(y * image.width() + x)] = lumaOf(image.pixel(x, y));
        }
    }
    return sim::TestPattern::readCode(luma.data(), image.width(), image.size());
}

#endif // SHOWNFRAME_H

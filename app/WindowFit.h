#ifndef WINDOWFIT_H
#define WINDOWFIT_H

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// Window sizes that show a device's picture without black bars beside or above it.
class WindowFit
{
public:
    // The size of a window whose picture area follows the frame's ratio. The window keeps its height,
    // its width follows, and if the result (with the frame the window manager draws around it) leaves
    // the available area, it shrinks with the ratio kept. window and pictureArea are the current sizes
    // of the window's inside and of the part of it that shows the picture.
    static QSize fitted(const QSize& window, const QSize& pictureArea, const QSize& frame, const QRect& available,
                        const QMargins& decorations);

    // Where a window of this outer size goes so that it lies inside the available area, moved as
    // little as possible.
    static QPoint keptInside(const QRect& outer, const QRect& available);

    // Puts the window where it was last time it showed the serial's device, or, the first time, fits
    // it to the frame; either way inside the available area of its screen.
    static void place(QWidget* window, QWidget* pictureArea, const QSize& frame, const QString& serial);
    // Keeps the window's place and size (as they are outside full screen) for the serial's next time.
    static void remember(QWidget* window, const QString& serial);

private:
    static QRect availableArea(QWidget* window);
    static QMargins decorations(QWidget* window);
};

#endif // WINDOWFIT_H

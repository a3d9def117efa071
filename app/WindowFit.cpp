#include "WindowFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtGlobal>

#include "Config.h"

QSize WindowFit::fitted(const QSize& window, const QSize& pictureArea, const QSize& frame, const QRect& available,
                        const QMargins& decorations)
{
    if (frame.isEmpty() || pictureArea.isEmpty()) {
        return window;
    }
    const double ratio = double(frame.width()) / frame.height();
    // What surrounds the picture inside the window (the tool bar), and the room the screen leaves.
    const QSize around = window - pictureArea;
    const int roomWidth = available.width() - decorations.left() - decorations.right() - around.width();
    const int roomHeight = available.height() - decorations.top() - decorations.bottom() - around.height();

    int height = qMin(pictureArea.height(), roomHeight);
    int width = qRound(height * ratio);
    if (width > roomWidth) {
        width = roomWidth;
        height = qRound(width / ratio);
    }
    return QSize(qMax(1, width), qMax(1, height)) + around;
}

QPoint WindowFit::keptInside(const QRect& outer, const QRect& available)
{
    QPoint topLeft = outer.topLeft();
    topLeft.setX(qMin(topLeft.x(), available.right() + 1 - outer.width()));
    topLeft.setY(qMin(topLeft.y(), available.bottom() + 1 - outer.height()));
    topLeft.setX(qMax(topLeft.x(), available.left()));
    topLeft.setY(qMax(topLeft.y(), available.top()));
    return topLeft;
}

void WindowFit::place(QWidget* window, QWidget* pictureArea, const QSize& frame, const QString& serial)
{
    if (window->isFullScreen() || window->isMaximized()) {
        return;
    }
    const QRect available = availableArea(window);
    const QMargins around = decorations(window);
    QRect inside = Config::getInstance()->getRect(serial);
    // A place remembered on a screen that is gone, or larger than this one, counts as none.
    if (!inside.isValid() || !available.intersects(inside) || inside.width() > available.width()
        || inside.height() > available.height()) {
        inside = QRect(window->geometry().topLeft(),
                       fitted(window->size(), pictureArea->size(), frame, available, around));
    }
    const QRect outer = inside.marginsAdded(around);
    inside.moveTopLeft(keptInside(outer, available) + QPoint(around.left(), around.top()));
    qInfo("%s", qUtf8Printable(QStringLiteral("window of %1 at %2,%3 sized %4x%5")
                                   .arg(serial)
                                   .arg(inside.x())
                                   .arg(inside.y())
                                   .arg(inside.width())
                                   .arg(inside.height())));
    window->setGeometry(inside);
}

void WindowFit::remember(QWidget* window, const QString& serial)
{
    if (serial.isEmpty()) {
        return;
    }
    const bool normal = !window->isFullScreen() && !window->isMaximized();
    Config::getInstance()->setRect(serial, normal ? window->geometry() : window->normalGeometry());
}

QRect WindowFit::availableArea(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// The frame the window manager draws around the window; none before it has drawn one.
QMargins WindowFit::decorations(QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

#include "WindowShape.h"

#include <QPainterPath>
#include <QRegion>
#include <QWidget>

#ifdef VADIZEDE_HAVE_X11
#include <QX11Info>
#endif

namespace {

// The main window's background: what shows through the panels' own translucency.
const char* const kUnderColour = "#0A0F1B";

} // namespace

bool WindowShape::canBeSeeThrough()
{
#ifdef VADIZEDE_HAVE_X11
    if (QX11Info::isPlatformX11()) {
        return QX11Info::isCompositingManagerRunning();
    }
#endif
    return true;
}

// A rule of the window's own style sheet: the window's palette gives way to any style sheet it has.
void WindowShape::paintUnder(QWidget* window)
{
    const QString rule = QString("#%1 {background: %2;}").arg(window->objectName(), kUnderColour);
    if (!window->styleSheet().contains(rule)) {
        window->setStyleSheet(window->styleSheet() + "\n" + rule);
    }
}

void WindowShape::roundOff(QWidget* window, QWidget* panel, int radius)
{
    if (canBeSeeThrough()) {
        window->setAttribute(Qt::WA_TranslucentBackground);
        return;
    }
    paintUnder(window);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(panel->geometry()), radius, radius);
    QRegion shape(outline.toFillPolygon().toPolygon());
    // Whatever sits outside the panel (a close button on its corner) stays clickable and seen.
    for (QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != panel && child->isVisibleTo(window)) {
            shape += child->geometry();
        }
    }
    window->setMask(shape);
}

#include "WinMouseTap.h"

#ifdef Q_OS_WIN

#include <windows.h>

void WinMouseTap::initMouseEventTap() {}

void WinMouseTap::quitMouseEventTap() {}

void WinMouseTap::enableMouseEventTap(QRect rect, bool enable)
{
    if (!enable) {
        ClipCursor(nullptr);
        return;
    }
    if (rect.left() > rect.right() || rect.top() > rect.bottom()) {
        return;
    }
    // Windows takes right and bottom as exclusive, so the pointer stays one pixel short of those edges.
    RECT clip;
    clip.left = rect.left();
    clip.top = rect.top();
    clip.right = rect.right();
    clip.bottom = rect.bottom();
    ClipCursor(&clip);
}

#endif // Q_OS_WIN

#include "X11MouseTap.h"

#ifdef VADIZEDE_HAVE_X11

#include <QDebug>
#include <QX11Info>

#include <X11/Xlib.h>

X11MouseTap::X11MouseTap() : m_display(QX11Info::isPlatformX11() ? QX11Info::display() : nullptr) {}

X11MouseTap::~X11MouseTap()
{
    quitMouseEventTap();
}

void X11MouseTap::initMouseEventTap()
{
    if (!m_display || m_confineWindow) {
        return;
    }
    // An input-only window takes no part in drawing; override-redirect keeps window managers away from it.
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    m_confineWindow = XCreateWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, CopyFromParent, InputOnly,
                                    CopyFromParent, CWOverrideRedirect, &attributes);
    XFlush(m_display);
}

void X11MouseTap::quitMouseEventTap()
{
    if (!m_display) {
        return;
    }
    release();
    if (m_confineWindow) {
        XDestroyWindow(m_display, m_confineWindow);
        m_confineWindow = 0;
    }
    XFlush(m_display);
}

void X11MouseTap::enableMouseEventTap(QRect rect, bool enable)
{
    if (!enable) {
        release();
        return;
    }
    if (rect.left() > rect.right() || rect.top() > rect.bottom() || !m_display) {
        return;
    }
    initMouseEventTap();

    // The edges are inclusive, so the window spans right - left + 1 pixels and the pointer reaches both edges.
    XMoveResizeWindow(m_display, m_confineWindow, rect.left(), rect.top(), static_cast<unsigned>(rect.right() - rect.left() + 1),
                      static_cast<unsigned>(rect.bottom() - rect.top() + 1));
    // The confine-to window must be viewable; at the bottom of the stack it never covers the video.
    XMapWindow(m_display, m_confineWindow);
    XLowerWindow(m_display, m_confineWindow);

    // With owner events on, the application's own windows go on receiving their pointer events as usual.
    const int status = XGrabPointer(m_display, m_confineWindow, True, 0, GrabModeAsync, GrabModeAsync, m_confineWindow,
                                    None, CurrentTime);
    m_grabbed = status == GrabSuccess;
    if (!m_grabbed) {
        qWarning("Could not confine the mouse pointer (grab status %d)", status);
    }
    XFlush(m_display);
}

void X11MouseTap::release()
{
    if (!m_display) {
        return;
    }
    if (m_grabbed) {
        XUngrabPointer(m_display, CurrentTime);
        m_grabbed = false;
    }
    if (m_confineWindow) {
        XUnmapWindow(m_display, m_confineWindow);
    }
    // A round trip, so that the pointer is free for everyone once this returns.
    XSync(m_display, False);
}

#endif // VADIZEDE_HAVE_X11

#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// Looks at another program's top-level windows on the test's X display, as a user would see them.
class X11Windows
{
public:
    X11Windows() : m_display(XOpenDisplay(nullptr))
    {
        // The program may replace a window between our looking it up and using it (Qt recreates a
        // top-level when its first OpenGL child appears); Xlib's default handler would exit on that.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~X11Windows()
    {
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    bool isValid() const { return m_display != nullptr; }

    // The process's largest mapped top-level window (its main window, not a notice or a menu);
    // 0 when it has none. A window manager puts frames between the root and the program's windows.
    Window findByPid(qint64 pid) const
    {
        Window found = 0;
        int foundArea = 0;
        findByPidBelow(DefaultRootWindow(m_display), pid, 2, found, foundArea);
        return found;
    }

    // How many mapped top-level windows the process shows (its main window, a notice ...).
    int countByPid(qint64 pid) const
    {
        Window found = 0;
        int foundArea = 0;
        int count = 0;
        findByPidBelow(DefaultRootWindow(m_display), pid, 2, found, foundArea, &count);
        return count;
    }

    // A window manager has announced itself on the root window.
    bool hasWindowManager() const
    {
        const Atom check = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
        return !property(DefaultRootWindow(m_display), check, XA_WINDOW).isEmpty();
    }

    QString title(Window window) const
    {
        const Atom name = XInternAtom(m_display, "_NET_WM_NAME", False);
        return QString::fromUtf8(property(window, name, XInternAtom(m_display, "UTF8_STRING", False)));
    }

    QRect geometry(Window window) const
    {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(m_display, window, &attributes)) {
            return QRect();
        }
        return QRect(attributes.x, attributes.y, attributes.width, attributes.height);
    }

    // Where the window's own area (inside any frame) is on the screen.
    QPoint rootPosition(Window window) const
    {
        int x = 0, y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child)) {
            return QPoint(-1, -1);
        }
        return QPoint(x, y);
    }

    // The frame the window manager draws around the window: left, right, top, bottom; empty
    // when the window manager has not said.
    QList<int> frameExtents(Window window) const
    {
        const QByteArray bytes = property(window, XInternAtom(m_display, "_NET_FRAME_EXTENTS", False), XA_CARDINAL);
        QList<int> extents;
        for (int i = 0; i + 4 <= bytes.size(); i += 4) {
            extents << int(*reinterpret_cast<const quint32*>(bytes.constData() + i));
        }
        return extents;
    }

    // The window manager's state of the window holds this one, e.g. "_NET_WM_STATE_ABOVE".
    bool hasState(Window window, const char* state) const
    {
        const QByteArray bytes = property(window, XInternAtom(m_display, "_NET_WM_STATE", False), XA_ATOM);
        const quint32 wanted = quint32(XInternAtom(m_display, state, False));
        for (int i = 0; i + 4 <= bytes.size(); i += 4) {
            if (*reinterpret_cast<const quint32*>(bytes.constData() + i) == wanted) {
                return true;
            }
        }
        return false;
    }

    QSize screenSize() const
    {
        return QSize(DisplayWidth(m_display, DefaultScreen(m_display)), DisplayHeight(m_display, DefaultScreen(m_display)));
    }

    // What a window manager sends when the user clicks the window's close button; false when the
    // window is gone.
    bool requestClose(Window window) const
    {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        const bool sent = XSendEvent(m_display, window, False, NoEventMask, &event) != 0;
        XSync(m_display, False);
        return sent && geometry(window).isValid();
    }

private:
    void findByPidBelow(Window parent, qint64 pid, int depth, Window& found, int& foundArea, int* windows = nullptr) const
    {
        Window root = 0, grandParent = 0, *children = nullptr;
        unsigned int count = 0;
        if (depth == 0 || !XQueryTree(m_display, parent, &root, &grandParent, &children, &count)) {
            return;
        }
        const Atom pidAtom = XInternAtom(m_display, "_NET_WM_PID", False);
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(m_display, children[i], &attributes) || attributes.map_state != IsViewable) {
                continue;
            }
            const QByteArray windowPid = property(children[i], pidAtom, XA_CARDINAL);
            if (windowPid.size() < 4 || *reinterpret_cast<const quint32*>(windowPid.constData()) != pid) {
                findByPidBelow(children[i], pid, depth - 1, found, foundArea, windows);
                continue;
            }
            if (windows) {
                ++*windows;
            }
            if (attributes.width * attributes.height > foundArea) {
                found = children[i];
                foundArea = attributes.width * attributes.height;
            }
        }
        XFree(children);
    }

    QByteArray property(Window window, Atom name, Atom type) const
    {
        Atom actualType = 0;
        int format = 0;
        unsigned long items = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, name, 0, 4096, False, type, &actualType, &format, &items, &remaining,
                               &data) != Success || !data) {
            return QByteArray();
        }
        // 32-bit items come back as longs.
        QByteArray bytes;
        if (format == 32) {
            for (unsigned long i = 0; i < items; ++i) {
                const quint32 value = quint32(reinterpret_cast<unsigned long*>(data)[i]);
                bytes.append(reinterpret_cast<const char*>(&value), 4);
            }
        } else {
            bytes = QByteArray(reinterpret_cast<const char*>(data), int(items * (format / 8)));
        }
        XFree(data);
        return bytes;
    }

    Display* m_display;
};

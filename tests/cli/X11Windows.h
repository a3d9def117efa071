#pragma once

#include <QByteArray>
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
    void findByPidBelow(Window parent, qint64 pid, int depth, Window& found, int& foundArea) const
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
                findByPidBelow(children[i], pid, depth - 1, found, foundArea);
            } else if (attributes.width * attributes.height > foundArea) {
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

// How long a window's GUI thread takes to serve an event: sends it the window manager's ping
// (_NET_WM_PING, which the toolkit answers from its event loop) every INTERVAL ms and prints one
// line per answer, "<ms since start> <delay ms>". A ping unanswered for a second prints
// "<ms> stalled" once and the wait goes on, so a frozen window shows as one long delay.
// With --close it asks the window to close instead, as a window manager's close button does.
//   winping WINDOW_ID [INTERVAL_MS=50 | --close]
#include <X11/Xlib.h>
#include <X11/Xatom.h>

#include <poll.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

long nowMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

void sendProtocol(Display* dpy, Window win, Atom protocols, Atom protocol, long stamp)
{
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = win;
    ev.xclient.message_type = protocols;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)protocol;
    ev.xclient.data.l[1] = stamp;
    ev.xclient.data.l[2] = (long)win;
    XSendEvent(dpy, win, False, NoEventMask, &ev);
    XFlush(dpy);
}

// Waits for the answer carrying stamp; returns 1 when it came within timeoutMs.
int awaitAnswer(Display* dpy, Atom ping, long stamp, long timeoutMs)
{
    const long deadline = nowMs() + timeoutMs;
    for (;;) {
        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type == ClientMessage && (Atom)ev.xclient.data.l[0] == ping && ev.xclient.data.l[1] == stamp) {
                return 1;
            }
        }
        const long left = deadline - nowMs();
        if (left <= 0) {
            return 0;
        }
        struct pollfd pfd = {ConnectionNumber(dpy), POLLIN, 0};
        if (poll(&pfd, 1, (int)left) < 0 && errno != EINTR) {
            return 0;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: winping WINDOW_ID [INTERVAL_MS]\n");
        return 2;
    }
    const Window win = (Window)strtoul(argv[1], NULL, 0);
    const long interval = argc > 2 ? atol(argv[2]) : 50;
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "winping: no display\n");
        return 1;
    }
    const Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    if (argc > 2 && std::string(argv[2]) == "--close") {
        sendProtocol(dpy, win, protocols, XInternAtom(dpy, "WM_DELETE_WINDOW", False), CurrentTime);
        XCloseDisplay(dpy);
        return 0;
    }
    // The answer is sent to the root window, as to a window manager.
    XSelectInput(dpy, DefaultRootWindow(dpy), StructureNotifyMask);
    setvbuf(stdout, NULL, _IOLBF, 0);
    const long start = nowMs();
    for (long stamp = 1;; ++stamp) {
        const long sent = nowMs();
        sendProtocol(dpy, win, protocols, ping, stamp);
        int stalled = 0;
        while (!awaitAnswer(dpy, ping, stamp, 1000)) {
            if (!stalled) {
                printf("%ld stalled\n", sent - start);
                stalled = 1;
            }
        }
        printf("%ld %ld\n", sent - start, nowMs() - sent);
        struct timespec pause = {interval / 1000, (interval % 1000) * 1000000L};
        nanosleep(&pause, NULL);
    }
}

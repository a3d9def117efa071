#include "MouseTap.h"

#include <QGuiApplication>

#include "NullMouseTap.h"
#include "WinMouseTap.h"
#include "X11MouseTap.h"

MouseTap* MouseTap::s_instance = nullptr;

MouseTap::~MouseTap() = default;

MouseTap* MouseTap::getInstance()
{
    if (s_instance) {
        return s_instance;
    }
    // A process-wide service that the windows may call until the very end, so it is never deleted.
#if defined(Q_OS_WIN)
    s_instance = new WinMouseTap();
#else
#if defined(VADIZEDE_HAVE_X11)
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        s_instance = new X11MouseTap();
    }
#endif
    if (!s_instance) {
        s_instance = new NullMouseTap();
    }
#endif
    return s_instance;
}

#include "WindowPlacement.h"

#include <QWidget>

#include "LaunchOptions.h"

void WindowPlacement::apply(QWidget* window, const LaunchOptions& options)
{
    applyFlags(window, options);
    applyGeometry(window, options);
}

void WindowPlacement::applyFlags(QWidget* window, const LaunchOptions& options)
{
    Qt::WindowFlags flags = window->windowFlags();
    if (options.alwaysOnTop) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    if (options.windowBorderless) {
        flags |= Qt::FramelessWindowHint;
    }
    if (flags != window->windowFlags()) {
        window->setWindowFlags(flags);
    }
}

void WindowPlacement::applyGeometry(QWidget* window, const LaunchOptions& options)
{
    if (options.windowWidth || options.windowHeight) {
        const QSize size(options.windowWidth.value_or(window->width()), options.windowHeight.value_or(window->height()));
        // A size asked for wins over the configured minimum, which is only there for dragging.
        window->setMinimumSize(window->minimumSize().boundedTo(size));
        window->resize(size);
    }
    if (options.windowX && options.windowY) {
        window->move(*options.windowX, *options.windowY);
    }
}

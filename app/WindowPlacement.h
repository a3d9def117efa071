#ifndef WINDOWPLACEMENT_H
#define WINDOWPLACEMENT_H

struct LaunchOptions;
class QWidget;

// Puts a top-level window where the command line asks: above the others, without frame, at a
// position, at a size. Anything not asked for stays as the window set it.
class WindowPlacement
{
public:
    // Before the window is first shown, so the window manager maps it with these flags at once.
    static void apply(QWidget* window, const LaunchOptions& options);

private:
    static void applyFlags(QWidget* window, const LaunchOptions& options);
    static void applyGeometry(QWidget* window, const LaunchOptions& options);
};

#endif // WINDOWPLACEMENT_H

#ifndef WINDOWSHAPE_H
#define WINDOWSHAPE_H

class QWidget;

// Rounded panels in windows of their own (dialogs, notices). Where the desktop composites windows,
// the window is see-through around its panel; elsewhere see-through parts would show black, so the
// window is cut to the panel's rounded shape and filled with the application's background instead.
class WindowShape
{
public:
    // Call before the window is first shown, and again when the panel changes size.
    static void roundOff(QWidget* window, QWidget* panel, int radius);
    static bool canBeSeeThrough();

    // The corner radius of the dialogs' panels in their style sheets.
    static constexpr int kPanelRadius = 10;

private:
    static void paintUnder(QWidget* window);
};

#endif // WINDOWSHAPE_H

#ifndef SHELLCOMMANDS_H
#define SHELLCOMMANDS_H

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace dvk {

// The command lines that drive a device through its own "input" and "cmd" programs, as its
// shell reads them.
class ShellCommands
{
public:
    // A point measured in a picture of position.size(), in display pixels: scaled from the part of
    // the picture the display fills (the recorder adds black bars when their ratios differ),
    // rounded and kept inside the display.
    static QPoint toDisplay(const QRect& position, const QSize& display);
    // Whether the point falls on the display's part of the picture rather than on a bar.
    static bool onContent(const QRect& position, const QSize& display);
    // The display's part of a picture: fitted inside it, its ratio kept, centred.
    static QRect contentRect(const QSize& picture, const QSize& display);

    static QString tap(const QPoint& point);
    static QString swipe(const QPoint& from, const QPoint& to, qint64 durationMs);
    // action: DOWN, MOVE or UP.
    static QString motionEvent(const QString& action, const QPoint& point);
    static QString keyEvent(int keycode, bool longPress);
    static QString roll(int vertical);
    // Null when nothing of the text can be typed; dropped tells whether characters were left out.
    static QString text(const QString& text, bool* dropped);
    static QString expandNotifications();
    static QString collapsePanels();

    // What "input text" can type: printable ASCII, quoted for the device's shell, spaces as %s.
    static QString typeableText(const QString& text, bool* dropped);
};

} // namespace dvk

#endif // SHELLCOMMANDS_H

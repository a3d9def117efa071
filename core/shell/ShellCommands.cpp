#include "shell/ShellCommands.h"

#include <QtMath>

#include <algorithm>

namespace dvk {

QRect ShellCommands::contentRect(const QSize& picture, const QSize& display)
{
    if (picture.isEmpty() || display.isEmpty()) {
        return QRect(QPoint(0, 0), picture);
    }
    const double scale = std::min(double(picture.width()) / display.width(),
                                  double(picture.height()) / display.height());
    // Within a pixel the ratios agree: the recorder draws no bar then.
    const int width = std::min(picture.width(), int(display.width() * scale + 0.5));
    const int height = std::min(picture.height(), int(display.height() * scale + 0.5));
    return QRect((picture.width() - width) / 2, (picture.height() - height) / 2, width, height);
}

bool ShellCommands::onContent(const QRect& position, const QSize& display)
{
    return contentRect(position.size(), display).contains(position.topLeft());
}

QPoint ShellCommands::toDisplay(const QRect& position, const QSize& display)
{
    const QRect content = contentRect(position.size(), display);
    if (content.isEmpty() || display.isEmpty()) {
        return QPoint(0, 0);
    }
    const qint64 x = qRound64(double(position.x() - content.x()) * display.width() / content.width());
    const qint64 y = qRound64(double(position.y() - content.y()) * display.height() / content.height());
    return QPoint(int(std::clamp<qint64>(x, 0, display.width() - 1)),
                  int(std::clamp<qint64>(y, 0, display.height() - 1)));
}

QString ShellCommands::tap(const QPoint& point)
{
    return QStringLiteral("input tap %1 %2").arg(point.x()).arg(point.y());
}

QString ShellCommands::swipe(const QPoint& from, const QPoint& to, qint64 durationMs)
{
    return QStringLiteral("input swipe %1 %2 %3 %4 %5")
        .arg(from.x())
        .arg(from.y())
        .arg(to.x())
        .arg(to.y())
        .arg(std::max<qint64>(durationMs, 1));
}

QString ShellCommands::motionEvent(const QString& action, const QPoint& point)
{
    return QStringLiteral("input motionevent %1 %2 %3").arg(action).arg(point.x()).arg(point.y());
}

QString ShellCommands::keyEvent(int keycode, bool longPress)
{
    return longPress ? QStringLiteral("input keyevent --longpress %1").arg(keycode)
                     : QStringLiteral("input keyevent %1").arg(keycode);
}

QString ShellCommands::roll(int vertical)
{
    // A wheel turned away from the user scrolls up; a trackball rolled up moves by a negative y.
    return QStringLiteral("input roll 0 %1").arg(-vertical);
}

QString ShellCommands::text(const QString& text, bool* dropped)
{
    const QString typeable = typeableText(text, dropped);
    if (typeable.isEmpty()) {
        return QString();
    }
    return QStringLiteral("input text ") + typeable;
}

QString ShellCommands::expandNotifications()
{
    return QStringLiteral("cmd statusbar expand-notifications");
}

QString ShellCommands::collapsePanels()
{
    return QStringLiteral("cmd statusbar collapse");
}

QString ShellCommands::typeableText(const QString& text, bool* dropped)
{
    QString body;
    bool left = false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u > 0x7E) {
            left = true;
        } else if (c == QLatin1Char(' ')) {
            body += QStringLiteral("%s");
        } else if (c == QLatin1Char('\'')) {
            // Inside single quotes nothing is special but the quote itself: close, escape, reopen.
            body += QStringLiteral("'\\''");
        } else {
            body += c;
        }
    }
    if (dropped) {
        *dropped = left;
    }
    if (body.isEmpty()) {
        return QString();
    }
    return QLatin1Char('\'') + body + QLatin1Char('\'');
}

} // namespace dvk

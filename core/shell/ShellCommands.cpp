#include "shell/ShellCommands.h"

#include <QtMath>

#include <algorithm>

namespace dvk {

QPoint ShellCommands::toDisplay(const QRect& position, const QSize& display)
{
    if (position.width() <= 0 || position.height() <= 0 || display.isEmpty()) {
        return QPoint(0, 0);
    }
    const qint64 x = qRound64(double(position.x()) * display.width() / position.width());
    const qint64 y = qRound64(double(position.y()) * display.height() / position.height());
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

#include "ShellPipe.h"

#include <QRegularExpression>

#include "Console.h"

namespace sim {

QStringList ShellPipe::segments(const QString& line)
{
    QStringList parts;
    QString part;
    QChar quote;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == '\\' && quote != '\'' && i + 1 < line.size()) {
            part += c;
            part += line.at(++i);
            continue;
        }
        if (!quote.isNull()) {
            quote = c == quote ? QChar() : quote;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '|') {
            parts.append(part);
            part.clear();
            continue;
        }
        part += c;
    }
    parts.append(part);
    return parts;
}

int ShellPipe::grep(const QStringList& args, const QByteArray& input, QByteArray& output)
{
    bool ignoreCase = false;
    bool invert = false;
    bool fixed = false;
    bool quiet = false;
    QStringList patterns;
    for (const QString& arg : args) {
        if (arg.size() > 1 && arg.startsWith('-') && patterns.isEmpty()) {
            ignoreCase = ignoreCase || arg.contains('i');
            invert = invert || arg.contains('v');
            fixed = fixed || arg.contains('F');
            quiet = quiet || arg.contains('q');
            continue;
        }
        patterns.append(arg);
    }
    if (patterns.size() != 1) {
        return Console::fail("usage: grep [-EFiqv] PATTERN", 2);
    }
    const QString text = fixed ? QRegularExpression::escape(patterns.first()) : patterns.first();
    const QRegularExpression pattern(
        text, ignoreCase ? QRegularExpression::CaseInsensitiveOption : QRegularExpression::NoPatternOption);
    if (!pattern.isValid()) {
        return Console::fail("grep: bad regex '" + patterns.first() + "'", 2);
    }
    QByteArray kept;
    for (const QByteArray& line : input.split('\n')) {
        if (!line.isEmpty() && pattern.match(QString::fromUtf8(line)).hasMatch() != invert) {
            kept += line + '\n';
        }
    }
    output = quiet ? QByteArray() : kept;
    return kept.isEmpty() ? 1 : 0;
}

} // namespace sim

#pragma once

#include <QByteArray>
#include <QStringList>

namespace sim {

// The one kind of pipe the simulated shell takes: a command's output filtered
// by grep, as in "dumpsys input | grep SurfaceOrientation".
class ShellPipe
{
public:
    // The command line cut at every "|" outside quotes and not escaped.
    static QStringList segments(const QString& line);
    // grep [-i] [-v] [-F] [-E] [-q] PATTERN over the lines of input; returns
    // grep's exit code (0: a line matched, 1: none, 2: bad usage).
    static int grep(const QStringList& args, const QByteArray& input, QByteArray& output);
};

} // namespace sim

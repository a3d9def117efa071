#pragma once

#include <QByteArray>
#include <QString>

namespace sim {

// What an adb command prints: whole lines on standard output or error, or raw
// bytes (file contents) on standard output.
class Console
{
public:
    static void out(const QString& text);
    static void err(const QString& text);
    static void raw(const QByteArray& bytes);
    // Prints the error line and returns the exit code to give.
    static int fail(const QString& text, int code = 1);
    static int failNoLock();

    // While a capture runs, standard output (out and raw) is kept in it instead
    // of printed: the shell's pipes read it from there.
    static void beginCapture(QByteArray* sink);
    static void endCapture();
};

} // namespace sim

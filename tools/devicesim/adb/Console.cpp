#include "Console.h"

#include <cstdio>

namespace sim {

namespace {

QByteArray* s_capture = nullptr;

void writeLine(const QString& text, FILE* stream)
{
    const QByteArray bytes = text.toUtf8() + "\n";
    fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

} // namespace

void Console::out(const QString& text)
{
    if (s_capture) {
        s_capture->append(text.toUtf8() + "\n");
        return;
    }
    writeLine(text, stdout);
}

void Console::err(const QString& text)
{
    writeLine(text, stderr);
}

void Console::raw(const QByteArray& bytes)
{
    if (s_capture) {
        s_capture->append(bytes);
        return;
    }
    fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

int Console::fail(const QString& text, int code)
{
    err(text);
    return code;
}

int Console::failNoLock()
{
    return fail("adb: error: the simulator's state is locked by another command");
}

void Console::beginCapture(QByteArray* sink)
{
    s_capture = sink;
}

void Console::endCapture()
{
    s_capture = nullptr;
}

} // namespace sim

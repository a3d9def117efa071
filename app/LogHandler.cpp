#include "LogHandler.h"

#include <QTextStream>

#include <mutex>

namespace {

QFile* s_logFile = nullptr;

// Guards s_logFile: the handler is entered from the GUI, stream and recorder threads at once.
// A standard mutex, so that thread-sanitizer builds see the locking.
std::mutex s_logMutex;

// A message raised while a line is being written (an I/O warning) would deadlock on the mutex.
thread_local bool s_inHandler = false;

const char* templateFor(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "[D]: %1 (%2:%3)";
    case QtWarningMsg:
        return "[W]: %1 (%2:%3)";
    case QtCriticalMsg:
        return "[C]: %1 (%2:%3)";
    case QtFatalMsg:
        return "[F]: %1 (%2:%3)";
    case QtInfoMsg:
        break;
    }
    return "[I]: %1 (%2:%3)";
}

} // namespace

void openLogFile(const QString& path)
{
    std::lock_guard<std::mutex> locker(s_logMutex);
    if (s_logFile) {
        return;
    }
    s_logFile = new QFile(path);
    s_logFile->open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void closeLogFile()
{
    std::lock_guard<std::mutex> locker(s_logMutex);
    if (!s_logFile) {
        return;
    }
    s_logFile->flush();
    s_logFile->close();
    delete s_logFile;
    s_logFile = nullptr;
}

bool isLogFileOpen()
{
    std::lock_guard<std::mutex> locker(s_logMutex);
    return s_logFile != nullptr;
}

QString formatLogLine(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    const QString function = context.function ? QString::fromUtf8(context.function) : QString();
    // One pass, so that a "%2" inside the message text is not taken for a placeholder.
    return QString(templateFor(type)).arg(msg, QString::number(context.line), function);
}

void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (s_inHandler) {
        return;
    }
    s_inHandler = true;
    const QString line = formatLogLine(type, context, msg);
    {
        std::lock_guard<std::mutex> locker(s_logMutex);
        if (s_logFile && s_logFile->isOpen()) {
            QTextStream stream(s_logFile);
            stream << line << '\n';
            stream.flush();
            s_logFile->flush();
        }
    }
    s_inHandler = false;
}

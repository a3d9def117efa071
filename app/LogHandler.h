#ifndef LOGHANDLER_H
#define LOGHANDLER_H

#include <QFile>
#include <QString>
#include <QtGlobal>

// The debug log. While it is null, or not open, log messages are dropped.
extern QFile* g_logFile;

// Creates g_logFile for the path (truncating an earlier log) unless one exists already.
void openLogFile(const QString& path);
// Flushes, closes, deletes and clears g_logFile; later messages are dropped.
void closeLogFile();

// One log line without its line feed, e.g. "[I]: text (42:func)".
QString formatLogLine(QtMsgType type, const QMessageLogContext& context, const QString& msg);

// The message handler: writes every message as one whole line, whatever thread it comes from.
void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg);

#endif // LOGHANDLER_H

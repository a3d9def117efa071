#ifndef LOGHANDLER_H
#define LOGHANDLER_H

#include <QFile>
#include <QString>
#include <QtGlobal>

// The debug log: one file for the process. While none is open, log messages are dropped.

// Opens the log at the path (truncating an earlier log) unless one is open already.
void openLogFile(const QString& path);
// Flushes and closes the log; later messages are dropped.
void closeLogFile();
bool isLogFileOpen();

// One log line without its line feed, e.g. "[I]: text (42:func)".
QString formatLogLine(QtMsgType type, const QMessageLogContext& context, const QString& msg);

// The message handler: writes every message as one whole line, whatever thread it comes from.
void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg);

#endif // LOGHANDLER_H

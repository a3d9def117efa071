#ifndef APPPATH_H
#define APPPATH_H

#include <QString>

// The per-user data directory. Kept in the device layer because recordings and screenshots go below it,
// and filled once by the application's start-up before any device exists.
QString getAppPath();
void setAppPath(const QString& appPath);

#endif // APPPATH_H

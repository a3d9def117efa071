#include "AppPath.h"

QString g_appPath;

QString getAppPath()
{
    return g_appPath;
}

void setAppPath(const QString& appPath)
{
    g_appPath = appPath;
}

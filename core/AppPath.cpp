#include "AppPath.h"

namespace {
QString s_appPath;
} // namespace

QString getAppPath()
{
    return s_appPath;
}

void setAppPath(const QString& appPath)
{
    s_appPath = appPath;
}

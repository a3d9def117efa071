#include "AppFiles.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace AppFiles {

namespace {

const QString kServerFileName = QStringLiteral("dravik-server");

QString firstExisting(const QStringList& candidates, bool wantDir)
{
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (wantDir ? info.isDir() : info.isFile()) {
            return QDir::cleanPath(info.absoluteFilePath());
        }
    }
    return QString();
}

} // namespace

QString executableDir()
{
#ifdef Q_OS_WIN
    wchar_t buffer[MAX_PATH * 4] = {0};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, DWORD(sizeof(buffer) / sizeof(buffer[0])));
    return QFileInfo(QString::fromWCharArray(buffer, int(length))).absolutePath();
#else
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
#endif
}

QString keymapFolder()
{
    const QString bin = executableDir();
    // The user's own folder first, then the installed layout, a copy beside the program, and a start
    // from the source tree.
    return firstExisting({QString::fromLocal8Bit(qgetenv("VADIZEDE_KEYMAP_PATH")), bin + "/../share/vadizede/keymap",
                          bin + "/keymap", QStringLiteral("keymap")},
                         true);
}

QString serverFile()
{
    const QString fromEnvironment = QString::fromLocal8Bit(qgetenv("VADIZEDE_SERVER_PATH"));
    if (!fromEnvironment.isEmpty() && QFileInfo(fromEnvironment).isFile()) {
        return fromEnvironment;
    }
    const QString bin = executableDir();
    const QString found = firstExisting({bin + "/" + kServerFileName, bin + "/../libexec/vadizede/" + kServerFileName}, false);
    return found.isEmpty() ? bin + "/" + kServerFileName : found;
}

} // namespace AppFiles

#include "filehandler/FileHandler.h"

#include "adb/AdbProcess.h"

#include <QPointer>

namespace dvk {

FileHandler::FileHandler(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<FILE_HANDLER_RESULT>("dvk::FileHandler::FILE_HANDLER_RESULT");
}

FileHandler::~FileHandler() = default;

void FileHandler::onPushFileRequest(const QString& serial, const QString& file, const QString& devicePath)
{
    newRunner(false)->push(serial, file, devicePath);
}

void FileHandler::onInstallApkRequest(const QString& serial, const QString& apkFile)
{
    newRunner(true)->install(serial, apkFile);
}

AdbProcess* FileHandler::newRunner(bool isApk)
{
    // A transfer already under way finishes even if its device goes away.
    QPointer<FileHandler> handler(this);
    return AdbProcess::selfDeleting([handler, isApk](AdbProcess::ADB_EXEC_RESULT processResult) {
        if (handler) {
            emit handler->fileHandlerResult(processResult == AdbProcess::ADB_EXIT_OK ? FAR_SUCCESS_EXEC : FAR_ERROR_EXEC,
                                            isApk);
        }
    });
}

} // namespace dvk

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
    // The runner has no parent: a transfer already under way finishes even if its device goes away,
    // and the runner deletes itself once it has reported.
    AdbProcess* adb = new AdbProcess();
    QPointer<FileHandler> handler(this);
    connect(adb, &AdbProcess::adbProcessResult, adb, [adb, handler, isApk](AdbProcess::ADB_EXEC_RESULT processResult) {
        if (processResult == AdbProcess::ADB_STARTED) {
            return;
        }
        // A crashed adb reports a run error and then its exit; the request is answered once.
        QObject::disconnect(adb, &AdbProcess::adbProcessResult, adb, nullptr);
        adb->deleteLater();
        if (!handler) {
            return;
        }
        const FILE_HANDLER_RESULT result = processResult == AdbProcess::ADB_EXIT_OK ? FAR_SUCCESS_EXEC : FAR_ERROR_EXEC;
        emit handler->fileHandlerResult(result, isApk);
    });
    return adb;
}

} // namespace dvk

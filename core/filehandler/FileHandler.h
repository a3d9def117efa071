#ifndef FILEHANDLER_H
#define FILEHANDLER_H

#include <QObject>
#include <QString>

namespace dvk {

class AdbProcess;

// Pushes files to a device and installs APKs on it, one adb run per request; requests may overlap.
class FileHandler : public QObject
{
    Q_OBJECT
public:
    enum FILE_HANDLER_RESULT {
        FAR_IS_RUNNING = 0,   // an earlier request is still running (never reported: requests overlap)
        FAR_SUCCESS_EXEC = 1, // the adb command finished successfully
        FAR_ERROR_EXEC = 2,   // the adb command failed to start, failed, or adb is missing
    };
    Q_ENUM(FILE_HANDLER_RESULT)

    explicit FileHandler(QObject* parent = nullptr);
    ~FileHandler() override;

signals:
    void fileHandlerResult(dvk::FileHandler::FILE_HANDLER_RESULT processResult, bool isApk = false);

public slots:
    void onPushFileRequest(const QString& serial, const QString& file, const QString& devicePath = QString(""));
    void onInstallApkRequest(const QString& serial, const QString& apkFile);

private:
    AdbProcess* newRunner(bool isApk);
};

} // namespace dvk

#endif // FILEHANDLER_H

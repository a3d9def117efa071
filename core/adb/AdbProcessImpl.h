#ifndef ADBPROCESSIMPL_H
#define ADBPROCESSIMPL_H

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include "adb/AdbOutput.h"
#include "adb/AdbProcess.h"

namespace dvk {

// The child process behind AdbProcess: resolves the adb executable, runs it and collects its output.
class AdbProcessImpl : public QProcess
{
    Q_OBJECT
public:
    explicit AdbProcessImpl(QObject* parent = nullptr);
    ~AdbProcessImpl() override;

    void execute(const QString& serial, const QStringList& args);
    QString getStdOut() const;
    QString getErrorOut() const;
    QStringList getDevicesSerialFromStdOut() const;
    QString getDeviceIPFromStdOut() const;
    QString getDeviceIPByIpFromStdOut() const;

    static void setAdbPath(const QString& adbPath);
    static QString getAdbPath();

    // The parsers on their own, for any text in the form adb prints.
    static QStringList parseDevicesSerial(const QString& output);
    static QString parseDeviceIP(const QString& output);
    static QString parseDeviceIPByIp(const QString& output);

signals:
    void adbProcessImplResult(dvk::AdbProcess::ADB_EXEC_RESULT processResult);

private:
    void onFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onErrorOccurred(QProcess::ProcessError error);
    void onReadyReadStandardOutput();
    void onReadyReadStandardError();
    static QString resolveAdbPath();
    static QByteArray upToFirstZero(const QByteArray& chunk);

    AdbOutput m_standardOutput;
    AdbOutput m_errorOutput;

    static QString s_adbPath;
};

} // namespace dvk

#endif // ADBPROCESSIMPL_H

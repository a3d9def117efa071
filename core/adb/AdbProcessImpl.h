#ifndef ADBPROCESSIMPL_H
#define ADBPROCESSIMPL_H

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTimer>

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
    // Waits for the end; a query that has not answered within the answer time-out is ended.
    bool waitForEnd(int transferTimeoutMs);
    QString getStdOut() const;
    QString getErrorOut() const;
    QStringList getDevicesSerialFromStdOut() const;
    QString getDeviceIPFromStdOut() const;
    QString getDeviceIPByIpFromStdOut() const;

    static void setAdbPath(const QString& adbPath);
    static QString getAdbPath();

    // How long a query (devices, tunnels, short shell commands) may run before it counts as hung.
    static int answerTimeoutMs();
    static void setAnswerTimeoutMs(int ms);
    // Whether a command is a query that answers at once, as opposed to a transfer or a long-lived shell.
    static bool isQuery(const QStringList& args);

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
    void onStarted();
    void onAnswerTimeout();
    static void noteMissing(const QString& program, bool missing);
    static QString resolveAdbPath();
    static QByteArray upToFirstZero(const QByteArray& chunk);

    AdbOutput m_standardOutput;
    AdbOutput m_errorOutput;
    QTimer m_answerTimer;
    bool m_isQuery = false;

    // The one adb path: as set, or as found at its first use when none was set.
    static QString s_adbPath;
};

} // namespace dvk

#endif // ADBPROCESSIMPL_H

#ifndef ADBPROCESS_H
#define ADBPROCESS_H

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

namespace dvk {

class AdbProcessImpl;

// Runs one adb command at a time, asynchronously, and reports its outcome through adbProcessResult.
class AdbProcess : public QObject
{
    Q_OBJECT
public:
    enum ADB_EXEC_RESULT {
        ADB_STARTED = 0,    // the child process has started
        ADB_RUN_ERROR = 1,  // it crashed, was killed, timed out, or an I/O error occurred
        ADB_EXIT_OK = 2,    // normal exit with code 0
        ADB_EXIT_ERROR = 3, // non-zero exit code or abnormal exit
        ADB_NOT_FOUND = 4,  // the program could not be started at all
    };
    Q_ENUM(ADB_EXEC_RESULT)

    explicit AdbProcess(QObject* parent = nullptr);
    ~AdbProcess() override;

    // A runner without a parent, for a command whose end nobody waits for: it hands its final
    // result (any but ADB_STARTED) to onFinished once, then deletes itself.
    static AdbProcess* selfDeleting(std::function<void(ADB_EXEC_RESULT)> onFinished = nullptr);
    // The same, for a caller that reads the command's output: onFinished gets the runner too,
    // which stays readable until the call returns.
    static AdbProcess* selfDeleting(std::function<void(ADB_EXEC_RESULT, AdbProcess* runner)> onFinished);
    // The same, with the end handed to a member of the receiver; dropped once the receiver has gone.
    template <typename Receiver>
    static AdbProcess* selfDeleting(Receiver* receiver, void (Receiver::*onFinished)(ADB_EXEC_RESULT, AdbProcess*))
    {
        QPointer<Receiver> guard(receiver);
        return selfDeleting([guard, onFinished](ADB_EXEC_RESULT processResult, AdbProcess* runner) {
            if (guard) {
                (guard.data()->*onFinished)(processResult, runner);
            }
        });
    }

    void execute(const QString& serial, const QStringList& args);
    void forward(const QString& serial, quint16 localPort, const QString& deviceSocketName);
    void forwardRemove(const QString& serial, quint16 localPort);
    void reverse(const QString& serial, const QString& deviceSocketName, quint16 localPort);
    void reverseRemove(const QString& serial, const QString& deviceSocketName);
    void push(const QString& serial, const QString& local, const QString& remote);
    void install(const QString& serial, const QString& local);
    void removePath(const QString& serial, const QString& path);
    void setShowTouchesEnabled(const QString& serial, bool enabled);

    // Named commands of the window and its tool bar: the attached devices; the screen size
    // ("wm size"); the wireless address ("ifconfig wlan0"); switching to wireless adb on the
    // wireless port and connecting to an "IP:PORT" address; ending one wireless connection.
    void listDevices();
    // Every device in whatever state, with its details ("devices -l"; read with AdbDeviceList).
    void listDevicesInDetail();
    void queryScreenSize(const QString& serial);
    // The device's model name, as its settings show it ("getprop ro.product.model").
    void queryModel(const QString& serial);
    void queryWirelessAddress(const QString& serial);
    void enableWireless(const QString& serial);
    void connectWireless(const QString& address);
    void disconnectWireless(const QString& serial);
    // The device's settings screen; the launcher's own uninstall flow; the whole log at once.
    void openSettings(const QString& serial);
    void requestLauncherUninstall(const QString& serial);
    void dumpLogcat(const QString& serial);

    // The spelling is part of the interface every caller uses; keep it.
    bool isRuning();
    void kill();
    bool waitForStarted();
    bool waitForFinished();

    // For a log line: what went wrong with the last command, given its final result.
    QString failureText(ADB_EXEC_RESULT result);

    QStringList arguments();
    QString getStdOut();
    QString getErrorOut();
    QStringList getDevicesSerialFromStdOut();
    QString getDeviceIPFromStdOut();
    QString getDeviceIPByIpFromStdOut();

    static void setAdbPath(const QString& adbPath);
    static QString getAdbPath();

signals:
    void adbProcessResult(dvk::AdbProcess::ADB_EXEC_RESULT processResult);

private:
    AdbProcessImpl* m_adbImpl = nullptr;
};

} // namespace dvk

#endif // ADBPROCESS_H

#include "adb/AdbProcess.h"

#include "ConnectionDefaults.h"
#include "adb/AdbProcessImpl.h"

namespace dvk {

namespace {
constexpr int kStartTimeoutMs = 30000;
constexpr int kFinishTimeoutMs = 300000;
} // namespace

AdbProcess::AdbProcess(QObject* parent) : QObject(parent), m_adbImpl(new AdbProcessImpl())
{
    qRegisterMetaType<dvk::AdbProcess::ADB_EXEC_RESULT>("dvk::AdbProcess::ADB_EXEC_RESULT");
    connect(m_adbImpl, &AdbProcessImpl::adbProcessImplResult, this, &AdbProcess::adbProcessResult);
}

AdbProcess::~AdbProcess()
{
    // Results of a command killed here would reach listeners of an object that is half gone.
    disconnect(m_adbImpl, nullptr, this, nullptr);
    if (isRuning()) {
        m_adbImpl->kill();
    }
    delete m_adbImpl;
}

AdbProcess* AdbProcess::selfDeleting(std::function<void(ADB_EXEC_RESULT)> onFinished)
{
    if (!onFinished) {
        return selfDeleting(std::function<void(ADB_EXEC_RESULT, AdbProcess*)>());
    }
    return selfDeleting([onFinished](ADB_EXEC_RESULT processResult, AdbProcess*) { onFinished(processResult); });
}

AdbProcess* AdbProcess::selfDeleting(std::function<void(ADB_EXEC_RESULT, AdbProcess* runner)> onFinished)
{
    auto* runner = new AdbProcess();
    connect(runner, &AdbProcess::adbProcessResult, runner, [runner, onFinished](ADB_EXEC_RESULT processResult) {
        if (processResult == ADB_STARTED) {
            return;
        }
        // A killed adb reports a run error and then its exit: the end is reported once.
        disconnect(runner, &AdbProcess::adbProcessResult, runner, nullptr);
        runner->deleteLater();
        if (onFinished) {
            onFinished(processResult, runner);
        }
    });
    return runner;
}

void AdbProcess::execute(const QString& serial, const QStringList& args)
{
    m_adbImpl->execute(serial, args);
}

void AdbProcess::forward(const QString& serial, quint16 localPort, const QString& deviceSocketName)
{
    execute(serial, {"forward", QString("tcp:%1").arg(localPort), QString("localabstract:%1").arg(deviceSocketName)});
}

void AdbProcess::forwardRemove(const QString& serial, quint16 localPort)
{
    execute(serial, {"forward", "--remove", QString("tcp:%1").arg(localPort)});
}

void AdbProcess::reverse(const QString& serial, const QString& deviceSocketName, quint16 localPort)
{
    execute(serial, {"reverse", QString("localabstract:%1").arg(deviceSocketName), QString("tcp:%1").arg(localPort)});
}

void AdbProcess::reverseRemove(const QString& serial, const QString& deviceSocketName)
{
    execute(serial, {"reverse", "--remove", QString("localabstract:%1").arg(deviceSocketName)});
}

void AdbProcess::push(const QString& serial, const QString& local, const QString& remote)
{
    execute(serial, {"push", local, remote});
}

void AdbProcess::install(const QString& serial, const QString& local)
{
    execute(serial, {"install", "-r", local});
}

void AdbProcess::removePath(const QString& serial, const QString& path)
{
    execute(serial, {"shell", "rm", path});
}

void AdbProcess::setShowTouchesEnabled(const QString& serial, bool enabled)
{
    execute(serial, {"shell", "settings", "put", "system", "show_touches", enabled ? "1" : "0"});
}

void AdbProcess::listDevices()
{
    execute(QString(), {"devices"});
}

void AdbProcess::listDevicesInDetail()
{
    execute(QString(), {"devices", "-l"});
}

void AdbProcess::queryScreenSize(const QString& serial)
{
    execute(serial, {"shell", "wm", "size"});
}

void AdbProcess::queryModel(const QString& serial)
{
    execute(serial, {"shell", "getprop", "ro.product.model"});
}

void AdbProcess::queryWirelessAddress(const QString& serial)
{
    execute(serial, {"shell", "ifconfig", "wlan0"});
}

void AdbProcess::enableWireless(const QString& serial)
{
    execute(serial, {"tcpip", QString::number(defaults::kWirelessPort)});
}

void AdbProcess::connectWireless(const QString& address)
{
    execute(QString(), {"connect", address});
}

void AdbProcess::disconnectWireless(const QString& serial)
{
    execute(QString(), {"disconnect", serial});
}

void AdbProcess::openSettings(const QString& serial)
{
    execute(serial, {"shell", "am", "start", "com.android.settings/com.android.settings.Settings"});
}

void AdbProcess::requestLauncherUninstall(const QString& serial)
{
    // The launcher starts its own uninstall flow on this broadcast; the quotes reach the device's
    // shell, which strips them.
    execute(serial, {"shell", "am", "broadcast", "-a", "com.zel.launcher.action.uninstall", "--es", "command",
                     QString::fromUtf8("\"卸载应用\"")});
}

void AdbProcess::dumpLogcat(const QString& serial)
{
    execute(serial, {"logcat", "-d"});
}

bool AdbProcess::isRuning()
{
    return m_adbImpl->state() != QProcess::NotRunning;
}

void AdbProcess::kill()
{
    m_adbImpl->kill();
}

bool AdbProcess::waitForStarted()
{
    return m_adbImpl->waitForStarted(kStartTimeoutMs);
}

bool AdbProcess::waitForFinished()
{
    return m_adbImpl->waitForEnd(kFinishTimeoutMs);
}

QString AdbProcess::failureText(ADB_EXEC_RESULT result)
{
    switch (result) {
    case ADB_NOT_FOUND:
        return QStringLiteral("adb was not found");
    case ADB_RUN_ERROR:
        return QStringLiteral("adb did not run to its end");
    case ADB_EXIT_ERROR: {
        const QString said = getErrorOut().trimmed().isEmpty() ? getStdOut() : getErrorOut();
        return QStringLiteral("adb failed: %1").arg(said.trimmed().section(QLatin1Char('\n'), 0, 0));
    }
    default:
        return QString();
    }
}

QStringList AdbProcess::arguments()
{
    return m_adbImpl->arguments();
}

QString AdbProcess::getStdOut()
{
    return m_adbImpl->getStdOut();
}

QString AdbProcess::getErrorOut()
{
    return m_adbImpl->getErrorOut();
}

QStringList AdbProcess::getDevicesSerialFromStdOut()
{
    return m_adbImpl->getDevicesSerialFromStdOut();
}

QString AdbProcess::getDeviceIPFromStdOut()
{
    return m_adbImpl->getDeviceIPFromStdOut();
}

QString AdbProcess::getDeviceIPByIpFromStdOut()
{
    return m_adbImpl->getDeviceIPByIpFromStdOut();
}

void AdbProcess::setAdbPath(const QString& adbPath)
{
    AdbProcessImpl::setAdbPath(adbPath);
}

QString AdbProcess::getAdbPath()
{
    return AdbProcessImpl::getAdbPath();
}

} // namespace dvk

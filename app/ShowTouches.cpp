#include "ShowTouches.h"

#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"

namespace {

const QStringList kSetting = {"system", "show_touches"};

} // namespace

ShowTouches::ShowTouches(QObject* parent) : QObject(parent)
{
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    connect(&registry, &dvk::IDeviceManage::deviceConnected, this,
            [this](bool success, const QString& serial) { onDeviceConnected(success, serial); });
    connect(&registry, &dvk::IDeviceManage::deviceDisconnected, this, &ShowTouches::onDeviceDisconnected);
}

ShowTouches::~ShowTouches()
{
    // Connections still up at this point end without a signal reaching us.
    const QStringList serials = m_previous.keys();
    for (const QString& serial : serials) {
        onDeviceDisconnected(serial);
    }
}

void ShowTouches::onDeviceConnected(bool success, const QString& serial)
{
    if (!success || m_previous.contains(serial)) {
        return;
    }
    QString previous = run(serial, QStringList{"shell", "settings", "get"} + kSetting).trimmed();
    if (previous.isEmpty()) {
        qWarning("Could not read show touches of %s; it will be turned off afterwards", qUtf8Printable(serial));
        previous = "0";
    }
    m_previous.insert(serial, previous);
    if (run(serial, QStringList{"shell", "settings", "put"} + kSetting + QStringList{"1"}).isNull()) {
        qWarning("Could not turn show touches on for %s", qUtf8Printable(serial));
    }
}

void ShowTouches::onDeviceDisconnected(const QString& serial)
{
    if (!m_previous.contains(serial)) {
        return;
    }
    const QString previous = m_previous.take(serial);
    const QStringList args = previous == "null" ? QStringList{"shell", "settings", "delete"} + kSetting
                                                : QStringList{"shell", "settings", "put"} + kSetting + QStringList{previous};
    if (run(serial, args).isNull()) {
        qWarning("Could not restore show touches of %s", qUtf8Printable(serial));
        return;
    }
    qInfo("%s show touch restored to %s", qUtf8Printable(serial), qUtf8Printable(previous));
}

QString ShowTouches::run(const QString& serial, const QStringList& args)
{
    dvk::AdbProcess adb;
    dvk::AdbProcess::ADB_EXEC_RESULT result = dvk::AdbProcess::ADB_RUN_ERROR;
    QObject::connect(&adb, &dvk::AdbProcess::adbProcessResult, [&result](dvk::AdbProcess::ADB_EXEC_RESULT r) {
        if (r != dvk::AdbProcess::ADB_STARTED) {
            result = r;
        }
    });
    adb.execute(serial, args);
    adb.waitForFinished();
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        return QString();
    }
    const QString out = adb.getStdOut();
    return out.isNull() ? QString("") : out;
}

#include "ConnectedForm.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "AppPath.h"
#include "SimDeviceParams.h"
#include "VideoForm.h"
#include "adb/AdbProcess.h"
#include "device/IDeviceManage.h"
#include "server/Stream.h"

namespace {

// A text no test types for itself.
const QString kMarkerText = QStringLiteral("--end-of-input--");

} // namespace

void prepareFormTests()
{
    static QTemporaryDir folders;
    QDir(folders.path()).mkpath("config");
    qputenv("VADIZEDE_CONFIG_PATH", QDir(folders.path()).filePath("config").toLocal8Bit());
    setAppPath(folders.path());
    dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
    dvk::Stream::init();
}

ConnectedForm::ConnectedForm(const SimDevice::Options& options) : sim(options), params(simParams(sim.serial())) {}

ConnectedForm::~ConnectedForm()
{
    if (device && form) {
        device->deRegisterDeviceObserver(form.get());
    }
    form.reset();
    dvk::IDeviceManage::getInstance().disconnectDevice(sim.serial());
}

bool ConnectedForm::start(const QSize& formSize, QString& why)
{
    if (!sim.isValid()) {
        why = "no simulated device";
        return false;
    }
    dvk::IDeviceManage& registry = dvk::IDeviceManage::getInstance();
    QSignalSpy connected(&registry, &dvk::IDeviceManage::deviceConnected);
    form = std::make_unique<VideoForm>(nullptr);
    form->setSerial(sim.serial());
    form->resize(formSize);
    // As the main window does: the form is shown and registered inside the connection's report,
    // so a picture that comes with the report (a still screen's) reaches it.
    QMetaObject::Connection registration = QObject::connect(
        &registry, &dvk::IDeviceManage::deviceConnected, form.get(), [this](bool ok, const QString& serial) {
            if (!ok || serial != sim.serial()) {
                return;
            }
            device = dvk::IDeviceManage::getInstance().getDevice(serial);
            form->show();
            device->registerDeviceObserver(form.get());
        });
    if (!registry.connectDevice(params)) {
        why = "the registry refused the device";
        return false;
    }
    const bool ok = connected.wait(15000) && connected.first().at(0).toBool();
    QObject::disconnect(registration);
    if (!ok || !device) {
        why = "the device did not connect";
        return false;
    }
    if (!QTest::qWaitForWindowExposed(form.get())) {
        why = "the form was not shown";
        return false;
    }
    if (!QTest::qWaitFor([this]() { return form->frameSize().isValid(); }, 10000)) {
        why = "no picture arrived";
        return false;
    }
    return true;
}

void ConnectedForm::mark()
{
    m_mark = sim.controlLog().size();
}

QList<QJsonObject> ConnectedForm::messagesSinceMark(int count, int timeoutMs)
{
    sim.waitForControlLog(m_mark + count, timeoutMs);
    return sim.controlLog().mid(m_mark);
}

QList<QJsonObject> ConnectedForm::messagesUntilMarker()
{
    QString marker = kMarkerText;
    device->postTextInput(marker);
    const auto isMarker = [](const QJsonObject& m) {
        return m.value("name").toString() == "INJECT_TEXT" && m.value("text").toString() == kMarkerText;
    };
    QList<QJsonObject> before;
    const bool arrived = QTest::qWaitFor(
        [&]() {
            const QList<QJsonObject> since = sim.controlLog().mid(m_mark);
            before.clear();
            for (const QJsonObject& m : since) {
                if (isMarker(m)) {
                    return true;
                }
                before << m;
            }
            return false;
        },
        5000);
    if (!arrived) {
        before << QJsonObject{{"name", "NO-MARKER"}};
    }
    return before;
}

#include "MainWindow.h"

#include <QCloseEvent>

#include "Config.h"
#include "ConnectionParams.h"
#include "DeviceChoice.h"
#include "LogoWidget.h"
#include "Reconnection.h"
#include "VideoForm.h"
#include "WindowFit.h"
#include "WirelessSwitch.h"
#include "WmSizeOutput.h"
#include "device/IDeviceManage.h"
#include "shell/ShellConnection.h"

namespace {

const int kSizeQueryMs = 1000;
// The maker's own model keeps being asked for its override size after it connects.
const QString kSizeCheckedModel = QStringLiteral("Merivo K310");
// A size query stops after this many answers without a reconnection.
const int kMaxSizeQueries = 50;

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

} // namespace

MainWindow::MainWindow(const LaunchOptions& options, QWidget* parent) : DeviceWindow(options, parent)
{
    setObjectName("MainWindow");
    startPolling();
    connectSignals();
    showLogoWidget();
}

MainWindow::~MainWindow()
{
    // A device ending now must not rebuild the window that is going away.
    disconnect(&registry(), nullptr, this, nullptr);
    m_updateDeviceTimer.stop();
    m_getSizeTimer.stop();
    if (deviceLive()) {
        WindowFit::remember(this, serial());
    }
    // The runner outlives the window: the command ends the wireless connection even after the program has.
    disconnectDevice();
    leaveDevice();
    registry().disconnectAllDevice();
}

void MainWindow::startPolling()
{
    m_updateDeviceTimer.start(DeviceChoice::kPollIntervalMs);
    updateDevice();
}

void MainWindow::connectSignals()
{
    m_switch = new WirelessSwitch(this);
    connect(m_switch, &WirelessSwitch::switched, this, &MainWindow::onWirelessSwitched);
    connect(m_switch, &WirelessSwitch::failed, this, &MainWindow::onWirelessFailed);
    m_reconnection = new Reconnection(this);
    connect(m_reconnection, &Reconnection::readyToConnect, this, &MainWindow::onReadyToReconnect);
    connect(&registry(), &dvk::IDeviceManage::deviceConnected, this, &MainWindow::onDeviceConnected);
    connect(&m_updateDeviceTimer, &QTimer::timeout, this, &MainWindow::onUpdateDevice);
    connect(&m_getSizeTimer, &QTimer::timeout, this, &MainWindow::onGetSize);
}

int MainWindow::findSerial(const QStringList& serials, bool wireless)
{
    return DeviceChoice::findSerial(serials, wireless);
}

// ---- adb commands --------------------------------------------------------------------------

void MainWindow::updateDevice()
{
    if (m_devicesQuery) {
        m_listAgain = true;
        return;
    }
    m_devicesQuery = dvk::AdbProcess::selfDeleting(this, &MainWindow::onDevicesListed);
    m_devicesQuery->listDevices();
}

void MainWindow::onUpdateDevice()
{
    updateDevice();
}

void MainWindow::onDevicesListed(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    m_devicesQuery = nullptr;
    if (m_listAgain) {
        m_listAgain = false;
        updateDevice();
        return;
    }
    // The runner has logged why; the next tick asks again.
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        return;
    }
    m_devicesList = runner->getDevicesSerialFromStdOut();
    dvk::ShellConnection::forgetAbsent(m_devicesList);
    autoConnect();
}

void MainWindow::disconnectDevice()
{
    // "adb disconnect" without a serial would end every wireless connection on the machine.
    if (m_currentSerial.isEmpty()) {
        return;
    }
    dvk::AdbProcess::selfDeleting()->disconnectWireless(m_currentSerial);
}

// A tick that finds the last query unanswered waits for it, so every query asked is answered and counted.
void MainWindow::onGetSize()
{
    if (m_sizeQuery) {
        return;
    }
    m_sizeQuery = dvk::AdbProcess::selfDeleting(this, &MainWindow::onSizeAnswered);
    m_sizeQuery->queryScreenSize(m_currentSerial);
}

void MainWindow::onSizeAnswered(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    m_sizeQuery = nullptr;
    if (result == dvk::AdbProcess::ADB_EXIT_OK) {
        checkOverrideSize(runner->getStdOut());
    }
}

QSize MainWindow::overrideSizeFromOutput(const QString& output)
{
    return WmSizeOutput::overrideSize(output);
}

void MainWindow::checkOverrideSize(const QString& output)
{
    const QSize size = overrideSizeFromOutput(output);
    if (size.isValid()) {
        m_overrideSize = size;
        m_getSizeTimer.stop();
        if (videoForm() && videoForm()->frameSize() != m_overrideSize) {
            reConnect();
        }
    }
    if (m_sizeQueryCount++ > kMaxSizeQueries) {
        m_getSizeTimer.stop();
    }
}

// ---- connection flow -----------------------------------------------------------------------

void MainWindow::autoConnect()
{
    // A device named on the command line is the only one connected here; the polls wait for it.
    const QString serial = DeviceChoice::choose(m_devicesList, options().serial, m_wirelessSwitch);
    if (serial.isEmpty()) {
        // Several devices, none of them wireless after a switch: the next choice is a USB one again.
        if (options().serial.isEmpty() && m_devicesList.size() > 1) {
            m_wirelessSwitch = false;
        }
        return;
    }
    // A serial already connected is refused by the registry, so repeated polls connect it once.
    if (registry().connectDevice(connectionParams(serial, getServerPath(), options()))) {
        m_requested = serial;
    }
}

bool MainWindow::takes(const QString& serial) const
{
    if (serial == m_requested) {
        return true;
    }
    return this->serial().isEmpty() && (options().serial.isEmpty() || options().serial == serial);
}

void MainWindow::onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size)
{
    Q_UNUSED(size)
    const bool shown = takes(serial);
    if (serial == m_requested) {
        m_requested.clear();
    }
    if (!success || !shown) {
        return;
    }
    m_getSizeTimer.stop();
    m_updateDeviceTimer.stop();
    if (deviceName == kSizeCheckedModel) {
        m_sizeQueryCount = 0;
        m_getSizeTimer.start(kSizeQueryMs);
    }
    m_currentSerial = serial;
    showDevice(serial, deviceName);
    if (m_logoWidget) {
        m_logoWidget->hide();
    }
}

// The main window stays, with the logo, and looks for a device again.
void MainWindow::deviceLeft(const QString& serial)
{
    Q_UNUSED(serial)
    showLogoWidget();
    m_updateDeviceTimer.start(DeviceChoice::kPollIntervalMs);
}

// Also what concerns no window: a device that could not start, or one still starting.
bool MainWindow::tellsNoticesOf(const QString& serial) const
{
    return DeviceWindow::tellsNoticesOf(serial) || !showing(serial);
}

// Closing the main window ends the program, which ends every connection.
void MainWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
}

void MainWindow::showLogoWidget()
{
    m_logoWidget = new LogoWidget(nullptr);
    if (!options().serial.isEmpty()) {
        m_logoWidget->setWaitingFor(options().serial);
    }
    setCentralWidget(m_logoWidget);
    m_logoWidget->show();
    setMinimumWidth(Config::getInstance()->getMinWndWidth());
}

// ---- wireless and reconnection ---------------------------------------------------------------

// Nothing else waits for the switch: the window keeps working while its steps run.
void MainWindow::onSwitchWireless()
{
    m_wirelessSwitch = true;
    if (!m_switch->start(serial())) {
        qInfo("wireless switch already under way");
    }
}

// Listing the devices now connects the wireless serial, once the USB one has gone.
void MainWindow::onWirelessSwitched()
{
    updateDevice();
}

// The switch has logged its failing step; the next choice is a USB device again.
void MainWindow::onWirelessFailed()
{
    m_wirelessSwitch = false;
}

void MainWindow::reConnect()
{
    m_reconnection->start(m_currentSerial);
}

void MainWindow::onReadyToReconnect()
{
    autoConnect();
}

#include "MainWindow.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLayout>
#include <QShortcut>

#include "AppFiles.h"
#include "Config.h"
#include "DeviceChoice.h"
#include "DevicesDialog.h"
#include "ConnectionParams.h"
#include "LaunchOptions.h"
#include "LogoWidget.h"
#include "NoticePopup.h"
#include "Reconnection.h"
#include "ToolBar.h"
#include "VideoForm.h"
#include "WirelessSwitch.h"
#include "WindowFit.h"
#include "WmSizeOutput.h"
#include "device/IDeviceManage.h"
#include "shell/ShellConnection.h"

namespace {

const int kSizeQueryMs = 1000;
// The maker's own model keeps being asked for its override size after it connects.
const QString kSizeCheckedModel = QStringLiteral("Merivo K310");
// A size query stops after this many answers without a reconnection.
const int kMaxSizeQueries = 50;
const int kNoticeDelayMs = 10;
// The narrowest picture the window keeps room for beside the tool bar.
const int kMinPictureWidth = 120;
// Below the connection notice, which may be showing at the same time.
const int kDeviceNoticeTop = 130;

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

} // namespace

MainWindow::MainWindow(const LaunchOptions& options, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_options(options), m_startFullScreen(options.fullscreen)
{
    initWindow();
    initLook();
    startPolling();
    connectSignals();
    initToolbar();
    showLogoWidget();
    installShortcut();
}

MainWindow::~MainWindow()
{
    // A device ending now must not rebuild the window that is going away.
    disconnect(&registry(), nullptr, this, nullptr);
    m_updateDeviceTimer.stop();
    m_getSizeTimer.stop();
    if (currentDeviceLive()) {
        WindowFit::remember(this, m_currentSerial);
    }

    // The runner outlives the window: the command ends the wireless connection even after the program has.
    disconnectDevice();
    if (!m_currentSerial.isEmpty()) {
        if (auto device = registry().getDevice(m_currentSerial)) {
            detachVideoForm();
            device->setUserData(nullptr);
            device->deRegisterDeviceObserver(this);
        }
    }
    delete m_videoForm;
    delete m_toolForm;
    delete ui;
    registry().disconnectAllDevice();
}

void MainWindow::initWindow()
{
    // Also gives the window its first size.
    ui->setupUi(this);
    setObjectName("MainWindow");
    ui->toolBar->setMovable(false);
    addToolBar(Qt::RightToolBarArea, ui->toolBar);
}

void MainWindow::initLook()
{
    ui->toolBar->setStyleSheet("QToolBar{background: #1B2845; border: none;}");
    setPalette(QPalette(QColor("#0A0F1B")));
    setMinimumSize(Config::getInstance()->getMinWndWidth(), Config::getInstance()->getMinWndHeight());
    setWindowTitle(Config::getInstance()->getTitle());
    setContextMenuPolicy(Qt::NoContextMenu);
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
    connect(&registry(), &dvk::IDeviceManage::deviceDisconnected, this, &MainWindow::onDeviceDisconnected);
    connect(&registry(), &dvk::IDeviceManage::deviceNotice, this, &MainWindow::onDeviceNotice);
    connect(&m_updateDeviceTimer, &QTimer::timeout, this, &MainWindow::onUpdateDevice);
    connect(&m_getSizeTimer, &QTimer::timeout, this, &MainWindow::onGetSize);
}

void MainWindow::initToolbar()
{
    m_toolForm = new ToolBar(this);
    ui->toolBar->addWidget(m_toolForm);
    ui->statusbar->hide();
}

void MainWindow::installShortcut()
{
    auto* shortcut = new QShortcut(QKeySequence("Ctrl+f"), this);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    connect(shortcut, &QShortcut::activated, this, &MainWindow::onSwitchFullScreen);
    auto* devices = new QShortcut(QKeySequence("Ctrl+d"), this);
    devices->setContext(Qt::WindowShortcut);
    devices->setAutoRepeat(false);
    connect(devices, &QShortcut::activated, this, [this]() { DevicesDialog::showFor(this); });
}

int MainWindow::findSerial(const QStringList& serials, bool wireless)
{
    return DeviceChoice::findSerial(serials, wireless);
}

const QString& MainWindow::getServerPath()
{
    static QString serverPath;
    if (serverPath.isEmpty()) {
        serverPath = AppFiles::serverFile();
    }
    return serverPath;
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
        if (m_videoForm && m_videoForm->frameSize() != m_overrideSize) {
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
    // A device named on the command line is the only one connected; the polls wait for it.
    const QString serial = DeviceChoice::choose(m_devicesList, m_options.serial, m_wirelessSwitch);
    if (serial.isEmpty()) {
        // Several devices, none of them wireless after a switch: the next choice is a USB one again.
        if (m_options.serial.isEmpty() && m_devicesList.size() > 1) {
            m_wirelessSwitch = false;
        }
        return;
    }
    // A serial already connected is refused by the registry, so repeated polls connect it once.
    registry().connectDevice(deviceParams(serial));
}

dvk::DeviceParams MainWindow::deviceParams(const QString& serial) const
{
    return connectionParams(serial, getServerPath(), m_options);
}

void MainWindow::onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size)
{
    Q_UNUSED(size)
    if (!success) {
        return;
    }
    m_getSizeTimer.stop();
    m_updateDeviceTimer.stop();
    m_failuresTold.clear();
    if (deviceName == kSizeCheckedModel) {
        m_sizeQueryCount = 0;
        m_getSizeTimer.start(kSizeQueryMs);
    }

    showVideoForm();
    m_currentSerial = serial;
    m_videoForm->setSerial(serial);
    if (m_toolForm) {
        m_toolForm->setSerial(serial);
    }
    if (auto device = registry().getDevice(serial)) {
        device->setUserData(static_cast<void*>(m_videoForm.data()));
        device->registerDeviceObserver(m_videoForm);
        // The window tells game mode's changes.
        device->registerDeviceObserver(this);
    }
    if (m_logoWidget) {
        m_logoWidget->hide();
    }
    if (m_startFullScreen) {
        m_startFullScreen = false;
        switchFullScreen(true);
    }
    QTimer::singleShot(kNoticeDelayMs, this, &MainWindow::onNoticeConnect);
}

void MainWindow::onNoticeConnect()
{
    if (!m_videoForm) {
        return;
    }
    // The form was put in place 10 ms ago; its width counts only once the window has laid it out.
    layout()->activate();
    NoticePopup::notify(this);
}

void MainWindow::gameModeChanged(bool on)
{
    NoticePopup::notify(this, on ? tr("Game mode on") : tr("Game mode off"));
}

QString MainWindow::noticeText(const QString& serial, dvk::IDevice::Notice notice, const QString& detail)
{
    switch (notice) {
    case dvk::IDevice::NOTICE_SHELL_FALLBACK:
        return tr("Mirroring with the phone's own screen recorder: slower input, no clipboard");
    case dvk::IDevice::NOTICE_NOT_AVAILABLE:
        return tr("Not available without the VaDizede server on the device");
    case dvk::IDevice::NOTICE_TEXT_DROPPED:
        return tr("Without the VaDizede server only plain ASCII can be typed; the rest was left out");
    case dvk::IDevice::NOTICE_FAILED:
        // A long device error would make the notice wider than any window.
        return tr("Could not mirror %1: %2").arg(serial, detail.section(QLatin1Char('\n'), 0, 0).left(120));
    }
    return QString();
}

void MainWindow::onDeviceNotice(const QString& serial, dvk::IDevice::Notice notice, const QString& detail)
{
    const QString text = noticeText(serial, notice, detail);
    if (text.isEmpty()) {
        return;
    }
    if (notice == dvk::IDevice::NOTICE_FAILED) {
        if (m_failuresTold.contains(text)) {
            return;
        }
        m_failuresTold.insert(text);
    }
    showNotice(text);
}

void MainWindow::showNotice(const QString& text)
{
    NoticePopup::notify(this, text, NoticePopup::kShowMs, kDeviceNoticeTop);
}

// Only the device shown takes the window back to the logo; another one ending changes nothing here.
void MainWindow::onDeviceDisconnected(QString serial)
{
    if (serial != m_currentSerial) {
        return;
    }
    auto device = registry().getDevice(serial);
    if (!device) {
        return;
    }
    WindowFit::remember(this, serial);
    if (m_fullScreen) {
        switchFullScreen(false);
    }
    detachVideoForm();
    showLogoWidget();
    device->deRegisterDeviceObserver(this);
    m_updateDeviceTimer.start(DeviceChoice::kPollIntervalMs);
}

void MainWindow::showVideoForm()
{
    // The form shown so far belongs to another device, which must not feed it after it is gone.
    detachVideoForm();
    m_videoForm = new VideoForm(nullptr);
    connect(m_videoForm, &VideoForm::fullScreenSwitch, this, &MainWindow::onSwitchFullScreen);
    connect(m_videoForm, &VideoForm::switchWireless, this, &MainWindow::onSwitchWireless);
    // Queued: the form reports while the decoder's picture is locked.
    connect(m_videoForm, &VideoForm::frameSizeChanged, this, &MainWindow::onFrameSizeChanged, Qt::QueuedConnection);
    m_windowPlaced = false;
    // Narrow enough for a portrait picture beside the tool bar.
    setMinimumWidth(ui->toolBar->sizeHint().width() + kMinPictureWidth);
    m_videoForm->show();
    setCentralWidget(m_videoForm);
    // Keys go to the device from the start; a dialog closing gives the window, and so the form, focus back.
    m_videoForm->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showLogoWidget()
{
    m_logoWidget = new LogoWidget(nullptr);
    if (!m_options.serial.isEmpty()) {
        m_logoWidget->setWaitingFor(m_options.serial);
    }
    setCentralWidget(m_logoWidget);
    m_logoWidget->show();
    setMinimumWidth(Config::getInstance()->getMinWndWidth());
}

// The first picture of a connection places the window; after that the size is the user's.
void MainWindow::onFrameSizeChanged(const QSize& size)
{
    if (m_windowPlaced || !m_videoForm) {
        return;
    }
    m_windowPlaced = true;
    layout()->activate();
    WindowFit::place(this, m_videoForm, size, m_currentSerial);
}

// Takes the shown form off the device that feeds it, so no frame reaches it once it is replaced.
void MainWindow::detachVideoForm()
{
    if (!m_videoForm) {
        return;
    }
    if (auto device = registry().getDevice(m_currentSerial)) {
        if (device->getUserData() == static_cast<void*>(m_videoForm.data())) {
            device->setUserData(nullptr);
        }
        device->deRegisterDeviceObserver(m_videoForm);
    }
    m_videoForm->clearVideo();
    m_videoForm->hide();
}

bool MainWindow::currentDeviceLive() const
{
    return !registry().getDevice(m_currentSerial).isNull();
}

// ---- full screen and wireless ----------------------------------------------------------------

void MainWindow::onSwitchFullScreen()
{
    if (!currentDeviceLive()) {
        return;
    }
    switchFullScreen(!m_fullScreen);
}

void MainWindow::switchFullScreen(bool full)
{
    if (!currentDeviceLive()) {
        return;
    }
    if (full) {
        ui->toolBar->hide();
        showFullScreen();
    } else {
        ui->toolBar->show();
        showNormal();
    }
    m_fullScreen = full;
}

// Nothing else waits for the switch: the window keeps working while its steps run.
void MainWindow::onSwitchWireless()
{
    m_wirelessSwitch = true;
    if (!m_switch->start(m_currentSerial)) {
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

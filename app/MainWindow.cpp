#include "MainWindow.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLayout>
#include <QShortcut>

#include "AppFiles.h"
#include "Config.h"
#include "DeviceChoice.h"
#include "ConnectionParams.h"
#include "LaunchOptions.h"
#include "LogoWidget.h"
#include "NoticePopup.h"
#include "ToolBar.h"
#include "VideoForm.h"
#include "WindowFit.h"
#include "WmSizeOutput.h"
#include "device/IDeviceManage.h"
#include "shell/ShellConnection.h"

namespace {

const int kPollMs = 5000;
const int kSizeQueryMs = 1000;
// The maker's own model keeps being asked for its override size after it connects.
const QString kSizeCheckedModel = QStringLiteral("Merivo K310");
// A size query stops after this many answers without a reconnection.
const int kMaxSizeQueries = 50;
const QString kWirelessPort = QStringLiteral("5555");
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

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
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

    disconnectDevice();
    delayMs(500);
    if (!m_currentSerial.isEmpty()) {
        if (auto device = registry().getDevice(m_currentSerial)) {
            detachVideoForm();
            device->deRegisterDeviceObserver(this);
            device->setUserData(nullptr);
        }
    }
    delete m_videoForm;
    delete m_toolForm;
    delete ui;
    registry().disconnectAllDevice();
}

void MainWindow::initWindow()
{
    ui->setupUi(this);
    setObjectName("MainWindow");
    resize(1165, 540);
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
    m_updateDeviceTimer.start(kPollMs);
    updateDevice();
}

void MainWindow::connectSignals()
{
    connect(&m_adb, &dvk::AdbProcess::adbProcessResult, this, &MainWindow::onAdbResult);
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
}

int MainWindow::findSerial(const QStringList& serials, bool wireless)
{
    return DeviceChoice::findSerial(serials, wireless);
}

int MainWindow::findDeviceFromeSerialBox(bool wireless)
{
    return findSerial(m_devicesList, wireless);
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

void MainWindow::runAdb(const QString& serial, const QStringList& args)
{
    if (m_adb.isRuning()) {
        return;
    }
    m_adb.execute(serial, args);
}

void MainWindow::updateDevice()
{
    runAdb(QString(), {"devices"});
}

void MainWindow::onUpdateDevice()
{
    updateDevice();
}

void MainWindow::getIP()
{
    runAdb(m_currentSerial, {"shell", "ifconfig", "wlan0"});
}

void MainWindow::startAdbd()
{
    runAdb(m_currentSerial, {"tcpip", kWirelessPort});
}

void MainWindow::connectWireless()
{
    runAdb(QString(), {"connect", m_deviceIP + ":" + kWirelessPort});
}

void MainWindow::disconnectDevice()
{
    // "adb disconnect" without a serial would end every wireless connection on the machine.
    if (m_currentSerial.isEmpty()) {
        return;
    }
    runAdb(QString(), {"disconnect", m_currentSerial});
}

// Not skipped while busy: the runner itself refuses, with a log line, while a command runs.
void MainWindow::onGetSize()
{
    m_adb.execute(m_currentSerial, {"shell", "wm", "size"});
}

void MainWindow::onAdbResult(dvk::AdbProcess::ADB_EXEC_RESULT result)
{
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        return;
    }
    const QStringList args = m_adb.arguments();
    if (args.contains("devices")) {
        m_devicesList = m_adb.getDevicesSerialFromStdOut();
        dvk::ShellConnection::forgetAbsent(m_devicesList);
        autoConnect();
    } else if (args.contains("wm") && args.contains("size")) {
        checkOverrideSize(m_adb.getStdOut());
    } else if (args.contains("ifconfig") && args.contains("wlan0")) {
        const QString ip = m_adb.getDeviceIPFromStdOut();
        if (!ip.isEmpty()) {
            m_deviceIP = ip;
        }
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
        // Stopped first: the reconnection waits in the event loop, where the next tick would come.
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
    if (m_devicesList.isEmpty()) {
        return;
    }
    // A device named on the command line is the only one connected; the polls wait for it.
    const QString wanted = LaunchOptions::current().serial;
    if (!wanted.isEmpty()) {
        if (m_devicesList.contains(wanted)) {
            registry().connectDevice(deviceParams(wanted));
        }
        return;
    }
    int index = 0;
    if (m_devicesList.size() > 1) {
        index = findDeviceFromeSerialBox(m_wirelessSwitch);
        if (index == -1) {
            m_wirelessSwitch = false;
            return;
        }
    }
    // A serial already connected is refused by the registry, so repeated polls connect it once.
    registry().connectDevice(deviceParams(m_devicesList.at(index)));
}

dvk::DeviceParams MainWindow::deviceParams(const QString& serial) const
{
    return connectionParams(serial, getServerPath(), LaunchOptions::current());
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
    m_updateDeviceTimer.start(kPollMs);
}

void MainWindow::showVideoForm()
{
    // The form shown so far belongs to another device, which must not feed it after it is gone.
    detachVideoForm();
    m_videoForm = new VideoForm(false, false, nullptr);
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
    if (!LaunchOptions::current().serial.isEmpty()) {
        m_logoWidget->setWaitingFor(LaunchOptions::current().serial);
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

void MainWindow::onSwitchWireless()
{
    m_wirelessSwitch = true;
    getIP();
    delayMs(200);
    startAdbd();
    delayMs(1000);
    connectWireless();
    delayMs(2000);
    updateDevice();
    delayMs(200);
}

void MainWindow::reConnect()
{
    disconnectDevice();
    delayMs(200);
    registry().disconnectDevice(m_currentSerial);
    autoConnect();
}

// The wait keeps the window alive: adb results, timer ticks and input are handled meanwhile.
void MainWindow::delayMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

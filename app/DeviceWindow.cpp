#include "DeviceWindow.h"
#include "ui_DeviceWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QShortcut>
#include <QTimer>

#include "AppFiles.h"
#include "Config.h"
#include "ConnectionParams.h"
#include "DeviceTitle.h"
#include "DevicesDialog.h"
#include "NoticePopup.h"
#include "PowerOffOnClose.h"
#include "ToolBar.h"
#include "VideoForm.h"
#include "WindowFit.h"
#include "WirelessSwitch.h"
#include "device/IDeviceManage.h"

namespace {

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

DeviceWindow::DeviceWindow(const LaunchOptions& options, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::DeviceWindow), m_options(options), m_startFullScreen(options.fullscreen)
{
    initWindow();
    initLook();
    initToolbar();
    installShortcut();
    applyOptions();
    connect(&registry(), &dvk::IDeviceManage::deviceDisconnected, this, &DeviceWindow::onDeviceDisconnected);
    connect(&registry(), &dvk::IDeviceManage::deviceNotice, this, &DeviceWindow::onDeviceNotice);
}

DeviceWindow::~DeviceWindow()
{
    // A device ending now must not touch the window that is going away.
    disconnect(&registry(), nullptr, this, nullptr);
    leaveDevice();
    delete m_videoForm;
    delete m_toolForm;
    delete ui;
}

void DeviceWindow::initWindow()
{
    // Also gives the window its first size.
    ui->setupUi(this);
    ui->toolBar->setMovable(false);
    addToolBar(Qt::RightToolBarArea, ui->toolBar);
}

void DeviceWindow::initLook()
{
    ui->toolBar->setStyleSheet("QToolBar{background: #1B2845; border: none;}");
    setPalette(QPalette(QColor("#0A0F1B")));
    setMinimumSize(Config::getInstance()->getMinWndWidth(), Config::getInstance()->getMinWndHeight());
    setContextMenuPolicy(Qt::NoContextMenu);
}

void DeviceWindow::initToolbar()
{
    m_toolForm = new ToolBar(this);
    ui->toolBar->addWidget(m_toolForm);
    ui->statusbar->hide();
}

void DeviceWindow::installShortcut()
{
    auto* shortcut = new QShortcut(QKeySequence("Ctrl+f"), this);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    connect(shortcut, &QShortcut::activated, this, &DeviceWindow::onSwitchFullScreen);
    auto* devices = new QShortcut(QKeySequence("Ctrl+d"), this);
    devices->setContext(Qt::WindowShortcut);
    devices->setAutoRepeat(false);
    connect(devices, &QShortcut::activated, this, [this]() { DevicesDialog::showFor(this); });
}

// What the command line asks of every device's window: its title and its close. Its flags and
// place are its owner's to apply, once the window is whole.
void DeviceWindow::applyOptions()
{
    m_title = new DeviceTitle(this, m_options.titleOr(Config::getInstance()->getTitle()), m_options.noControl);
    if (m_options.powerOffOnClose) {
        new PowerOffOnClose(this);
    }
}

const QString& DeviceWindow::getServerPath()
{
    static QString serverPath;
    if (serverPath.isEmpty()) {
        serverPath = AppFiles::serverFile();
    }
    return serverPath;
}

DeviceWindow* DeviceWindow::showing(const QString& serial)
{
    if (serial.isEmpty()) {
        return nullptr;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<DeviceWindow*>(widget);
        if (window && window->serial() == serial) {
            return window;
        }
    }
    return nullptr;
}

// ---- the device shown ----------------------------------------------------------------------

void DeviceWindow::showDevice(const QString& serial, const QString& model)
{
    // A device shown so far (a wireless switch's USB connection) must not feed the new form.
    leaveDevice();
    m_failuresTold.clear();
    showVideoForm();
    m_serial = serial;
    m_videoForm->setSerial(serial);
    m_toolForm->setSerial(serial);
    if (auto device = registry().getDevice(serial)) {
        device->setUserData(static_cast<void*>(m_videoForm.data()));
        device->registerDeviceObserver(m_videoForm);
        // The window tells game mode's changes.
        device->registerDeviceObserver(this);
    }
    m_title->setDevice(serial, model);
    if (m_startFullScreen) {
        m_startFullScreen = false;
        switchFullScreen(true);
    }
    QTimer::singleShot(kNoticeDelayMs, this, &DeviceWindow::onNoticeConnect);
}

void DeviceWindow::leaveDevice()
{
    if (m_serial.isEmpty()) {
        return;
    }
    detachVideoForm();
    if (auto device = registry().getDevice(m_serial)) {
        device->deRegisterDeviceObserver(this);
    }
    if (m_title) {
        m_title->setDevice(QString());
    }
    m_serial.clear();
}

// Only the device shown matters here; another one ending changes nothing.
void DeviceWindow::onDeviceDisconnected(QString serial)
{
    if (serial.isEmpty() || serial != m_serial || !registry().getDevice(serial)) {
        return;
    }
    WindowFit::remember(this, serial);
    if (m_fullScreen) {
        switchFullScreen(false);
    }
    leaveDevice();
    deviceLeft(serial);
}

void DeviceWindow::deviceLeft(const QString& serial)
{
    Q_UNUSED(serial)
    close();
}

// Closing the window ends its device's mirroring, and only that one.
void DeviceWindow::closeEvent(QCloseEvent* event)
{
    const QString serial = m_serial;
    if (!serial.isEmpty()) {
        WindowFit::remember(this, serial);
        leaveDevice();
        registry().disconnectDevice(serial);
    }
    QMainWindow::closeEvent(event);
}

void DeviceWindow::showVideoForm()
{
    m_videoForm = new VideoForm(nullptr);
    connect(m_videoForm, &VideoForm::fullScreenSwitch, this, &DeviceWindow::onSwitchFullScreen);
    connect(m_videoForm, &VideoForm::switchWireless, this, [this]() { onSwitchWireless(); });
    // Queued: the form reports while the decoder's picture is locked.
    connect(m_videoForm, &VideoForm::frameSizeChanged, this, &DeviceWindow::onFrameSizeChanged, Qt::QueuedConnection);
    m_windowPlaced = false;
    // Narrow enough for a portrait picture beside the tool bar.
    setMinimumWidth(ui->toolBar->sizeHint().width() + kMinPictureWidth);
    m_videoForm->show();
    // Replacing the central widget deletes the one shown before.
    setCentralWidget(m_videoForm);
    // Keys go to the device from the start; a dialog closing gives the window, and so the form, focus back.
    m_videoForm->setFocus(Qt::OtherFocusReason);
}

// Takes the shown form off the device that feeds it, so no frame reaches it once it is replaced.
void DeviceWindow::detachVideoForm()
{
    if (!m_videoForm) {
        return;
    }
    if (auto device = registry().getDevice(m_serial)) {
        if (device->getUserData() == static_cast<void*>(m_videoForm.data())) {
            device->setUserData(nullptr);
        }
        device->deRegisterDeviceObserver(m_videoForm);
    }
    m_videoForm->clearVideo();
    m_videoForm->hide();
}

// The first picture of a connection places the window; after that the size is the user's.
void DeviceWindow::onFrameSizeChanged(const QSize& size)
{
    if (m_windowPlaced || !m_videoForm || m_serial.isEmpty()) {
        return;
    }
    m_windowPlaced = true;
    layout()->activate();
    WindowFit::place(this, m_videoForm, size, m_serial);
}

VideoForm* DeviceWindow::videoForm() const
{
    return m_videoForm;
}

bool DeviceWindow::deviceLive() const
{
    return !registry().getDevice(m_serial).isNull();
}

// ---- notices -------------------------------------------------------------------------------

void DeviceWindow::onNoticeConnect()
{
    if (!m_videoForm) {
        return;
    }
    // The form was put in place 10 ms ago; its width counts only once the window has laid it out.
    layout()->activate();
    NoticePopup::notify(this);
}

void DeviceWindow::gameModeChanged(bool on)
{
    NoticePopup::notify(this, on ? tr("Game mode on") : tr("Game mode off"));
}

QString DeviceWindow::noticeText(const QString& serial, dvk::IDevice::Notice notice, const QString& detail)
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

bool DeviceWindow::tellsNoticesOf(const QString& serial) const
{
    return !serial.isEmpty() && serial == m_serial;
}

void DeviceWindow::onDeviceNotice(const QString& serial, dvk::IDevice::Notice notice, const QString& detail)
{
    const QString text = noticeText(serial, notice, detail);
    if (text.isEmpty() || !tellsNoticesOf(serial)) {
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

void DeviceWindow::showNotice(const QString& text)
{
    NoticePopup::notify(this, text, NoticePopup::kShowMs, kDeviceNoticeTop);
}

// ---- full screen and wireless ----------------------------------------------------------------

void DeviceWindow::onSwitchFullScreen()
{
    if (!deviceLive()) {
        return;
    }
    switchFullScreen(!m_fullScreen);
}

void DeviceWindow::switchFullScreen(bool full)
{
    if (!deviceLive()) {
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

// The switch outlives the window: the USB connection, and with it this window, may end first.
// The wireless serial then connects, and gets a window of its own.
void DeviceWindow::onSwitchWireless()
{
    auto* wireless = new WirelessSwitch(qApp);
    const LaunchOptions options = m_options;
    connect(wireless, &WirelessSwitch::switched, wireless, [wireless, options](const QString& wirelessSerial) {
        registry().connectDevice(connectionParams(wirelessSerial, getServerPath(), options));
        wireless->deleteLater();
    });
    connect(wireless, &WirelessSwitch::failed, wireless, &QObject::deleteLater);
    if (!wireless->start(m_serial)) {
        wireless->deleteLater();
    }
}

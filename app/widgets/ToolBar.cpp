#include "ToolBar.h"
#include "ui_ToolBar.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

#include "AppPath.h"
#include "DropTip.h"
#include "NoticePopup.h"
#include "ToolButton.h"
#include "ToolMenuMore.h"
#include "adb/AdbProcess.h"
#include "device/DeviceSerial.h"
#include "device/IDeviceManage.h"
#include "group/GroupController.h"

namespace {

QPointer<dvk::IDevice> deviceOf(const QString& serial)
{
    return dvk::IDeviceManage::getInstance().getDevice(serial);
}

} // namespace

ToolBar::ToolBar(QWidget* parent) : QWidget(parent), ui(new Ui::ToolBar)
{
    ui->setupUi(this);
    initLabels();
    initButtons();
    m_dropTip = new DropTip(ui->dropwidget);
    ui->dropLayout->addWidget(m_dropTip);
    setStyleSheet("QPushButton{background: #1B2845; border: none;}");
}

ToolBar::~ToolBar()
{
    delete ui;
}

void ToolBar::setSerial(const QString& serial)
{
    m_serial = serial;
    if (m_menu) {
        m_menu->setSerial(serial);
    }
}

void ToolBar::initLabels()
{
    m_logo = new QLabel(ui->logowidget);
    m_logo->setMaximumSize(164, 15);
    m_logo->setPixmap(QPixmap(":/images/logo/logo.png"));
    m_logo->setScaledContents(true);
    m_logo->setAlignment(Qt::AlignCenter);
    ui->logoLayout->addWidget(m_logo);

    m_split = new QLabel(ui->splitwidget);
    m_split->setPixmap(QPixmap(":/images/toolbar/split.png")
                           .scaled(164, 1, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_split->setAlignment(Qt::AlignCenter);
    ui->splitLayout->addWidget(m_split);
}

void ToolBar::initButtons()
{
    m_home = addButton(ui->topwidget, tr("Home"), ":/images/toolbar/home.png",
                       ":/images/toolbar/home_h.png", &ToolBar::onHome);
    m_back = addButton(ui->topwidget, tr("Back"), ":/images/toolbar/back.png",
                       ":/images/toolbar/back_h.png", &ToolBar::onBack);
    m_settings = addButton(ui->topwidget, tr("Settings"), ":/images/toolbar/setting.png",
                           ":/images/toolbar/setting_h.png", &ToolBar::onSettings);
    m_snapshot = addButton(ui->topwidget, tr("Snapshot"), ":/images/toolbar/snapshot.png",
                           ":/images/toolbar/snapshot_h.png", &ToolBar::onSnapshot);
    m_uninstall = addButton(ui->topwidget, tr("Uninstall"), ":/images/toolbar/uninstall.png",
                            ":/images/toolbar/uninstall_h.png", &ToolBar::onUninstall);
    m_recent = addButton(ui->topwidget, tr("Recent Tasks"), ":/images/toolbar/recent.png",
                         ":/images/toolbar/recent_h.png", &ToolBar::onRecent);
    m_logcat = addButton(ui->bottomwidget, tr("LOGCAT"), ":/images/toolbar/logcat.png",
                         ":/images/toolbar/logcat_h.png", &ToolBar::onLogcat);
    m_adb = addButton(ui->bottomwidget, tr("ADB"), ":/images/toolbar/adb.png",
                      ":/images/toolbar/adb_h.png", &ToolBar::onAdb);
    m_more = addButton(ui->bottomwidget, tr("More"), ":/images/toolbar/more.png",
                       ":/images/toolbar/more_h.png", &ToolBar::onMore);
}

// The button is named after its image, so that tests and style sheets can find it.
ToolButton* ToolBar::addButton(QWidget* area, const QString& text, const QString& image, const QString& hoverImage,
                               void (ToolBar::*slot)())
{
    auto* button = new ToolButton(text, area);
    button->setObjectName(QFileInfo(image).baseName());
    setButtonStyle(button, image, hoverImage);
    area->layout()->addWidget(button);
    connect(button, &QPushButton::clicked, this, slot);
    return button;
}

void ToolBar::setButtonStyle(ToolButton* button, QString normalImage, QString hoverImage)
{
    button->setFocusPolicy(Qt::NoFocus);
    button->setMinimumHeight(35);
    button->setIconSize(QSize(32, 32));
    button->setIcons(normalImage, hoverImage, hoverImage);
    button->setTextColor("#FFFFFF", "#428AFF", "#428AFF");
}

bool ToolBar::hasDevice() const
{
    return !deviceOf(m_serial).isNull();
}

void ToolBar::hideMenu()
{
    if (m_menu && !m_menu->isHidden()) {
        m_menu->hide();
    }
}

void ToolBar::onHome()
{
    hideMenu();
    if (auto device = deviceOf(m_serial)) {
        device->postGoHome();
    }
}

void ToolBar::onBack()
{
    hideMenu();
    if (auto device = deviceOf(m_serial)) {
        device->postGoBack();
    }
}

void ToolBar::onRecent()
{
    hideMenu();
    if (auto device = deviceOf(m_serial)) {
        device->postAppSwitch();
    }
}

void ToolBar::onSnapshot()
{
    hideMenu();
    if (auto device = deviceOf(m_serial)) {
        connect(device, &dvk::IDevice::screenshotSaved, this, &ToolBar::onSnapshotSaved, Qt::UniqueConnection);
        device->screenshot();
    }
}

void ToolBar::onSnapshotSaved(const QString& path, bool opened)
{
    if (opened) {
        notify(tr("Snapshot saved: %1").arg(QFileInfo(path).fileName()), NoticePopup::kShowMs);
        return;
    }
    notify(tr("Snapshot saved; no program could open it:\n%1").arg(QDir::toNativeSeparators(path)),
           NoticePopup::kLongShowMs);
}

void ToolBar::notify(const QString& text, int showMs)
{
    NoticePopup::notify(window(), text, showMs);
}

void ToolBar::onSettings()
{
    hideMenu();
    if (!hasDevice()) {
        return;
    }
    // The settings screen opens through adb rather than the device, so the group sees nothing of it.
    const QStringList serials = QStringList{m_serial} + dvk::GroupController::instance().repeatTargets(m_serial);
    for (const QString& serial : serials) {
        dvk::AdbProcess::selfDeleting()->openSettings(serial);
    }
}

void ToolBar::onUninstall()
{
    hideMenu();
    if (hasDevice()) {
        dvk::AdbProcess::selfDeleting()->requestLauncherUninstall(m_serial);
    }
}

QString ToolBar::logcatFilePath(const QString& serial)
{
    const QString directory = getAppPath() + "/logcat_output/";
    return directory + dvk::DeviceSerial::fileBaseName(serial)
        + QDateTime::currentDateTime().toString("_yyyyMMdd_hhmmss_zzz") + ".log";
}

// The dump runs on its own runner and is written when adb ends, so the window keeps painting
// while a long log is read.
void ToolBar::onLogcat()
{
    hideMenu();
    if (!hasDevice()) {
        return;
    }
    const QString path = logcatFilePath(m_serial);
    QDir().mkpath(QFileInfo(path).absolutePath());

    QPointer<ToolBar> self(this);
    dvk::AdbProcess::selfDeleting([self, path](dvk::AdbProcess::ADB_EXEC_RESULT, dvk::AdbProcess* runner) {
        if (self) {
            self->onLogcatRead(path, runner->getStdOut());
        }
    })->dumpLogcat(m_serial);
}

void ToolBar::onLogcatRead(const QString& path, const QString& output)
{
    if (!writeLogcat(path, output)) {
        // Where the file should have gone, so that the folder can be looked at.
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
        notify(tr("LOGCAT could not be written to %1").arg(QDir::toNativeSeparators(path)), NoticePopup::kLongShowMs);
        return;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        notify(tr("LOGCAT saved: %1").arg(QFileInfo(path).fileName()), NoticePopup::kShowMs);
        return;
    }
    notify(tr("LOGCAT saved; no program could open it:\n%1").arg(QDir::toNativeSeparators(path)),
           NoticePopup::kLongShowMs);
}

bool ToolBar::writeLogcat(const QString& path, const QString& output)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate)) {
        qWarning("%s", qUtf8Printable(QStringLiteral("logcat dump to %1 failed").arg(path)));
        return false;
    }
    QTextStream stream(&file);
    stream << output << Qt::endl;
    stream.flush();
    return true;
}

void ToolBar::onAdb()
{
    hideMenu();
    const QString adbDir = QFileInfo(dvk::AdbProcess::getAdbPath()).absoluteDir().absolutePath();
    // The console starts in the current directory, so that "adb" can be typed there at once.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(adbDir);
    openTerminalIn(adbDir);
    QDir::setCurrent(previous);
}

QString ToolBar::terminalProgram()
{
    const QString preferred = QStandardPaths::findExecutable("x-terminal-emulator");
    return preferred.isEmpty() ? QStandardPaths::findExecutable("xterm") : preferred;
}

void ToolBar::openTerminalIn(const QString& directory)
{
#ifdef Q_OS_WIN
    Q_UNUSED(directory)
    QDesktopServices::openUrl(QUrl("file:///C:/Windows/System32/cmd.exe"));
#else
    const QString terminal = terminalProgram();
    if (terminal.isEmpty()) {
        qWarning("%s", qUtf8Printable(QStringLiteral("no terminal found to open in %1").arg(directory)));
        notify(tr("No terminal found; tried x-terminal-emulator and xterm"), NoticePopup::kLongShowMs);
        return;
    }
    if (!QProcess::startDetached(terminal, QStringList(), directory)) {
        qWarning("%s", qUtf8Printable(QStringLiteral("could not open a terminal in %1").arg(directory)));
        notify(tr("The terminal %1 did not start").arg(terminal), NoticePopup::kLongShowMs);
    }
#endif
}

void ToolBar::onMore()
{
    if (!m_menu) {
        m_menu = new ToolMenuMore(this);
        m_menu->setSerial(m_serial);
        m_menu->hide();
    }
    if (!m_menu->isHidden()) {
        m_menu->hide();
        return;
    }
    placeMenu();
    m_menu->raise();
    m_menu->show();
}

// The menu's bottom edge touches the More button's top edge.
void ToolBar::placeMenu()
{
    if (!m_menu || !m_more) {
        return;
    }
    m_menu->move(7, ui->bottomwidget->y() + m_more->y() - m_menu->height());
}

void ToolBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeMenu();
}

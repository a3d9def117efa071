#include "SettingDialog.h"
#include "ui_SettingDialog.h"

#include <QFileDialog>
#include <QMouseEvent>

#include "Config.h"
#include "WindowShape.h"
#include "ConnectionDefaults.h"
#include "adb/AdbProcess.h"

SettingDialog::SettingDialog(QWidget* parent) : QDialog(parent), ui(new Ui::SettingDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    WindowShape::roundOff(this, ui->frame, WindowShape::kPanelRadius);

    ui->labelAdb->setText(tr("ADB File Location"));
    ui->labelFps->setText(tr("FPS"));
    ui->buttonBrowse->setText(tr("Browse"));
    ui->labelFpsNote->setText(tr("Applies from the next connection"));
    ui->labelFpsNote->hide();
    ui->labelConnection->setText(tr("Connection (from the next connection on)"));
    ui->radioAuto->setText(tr("Auto"));
    ui->radioServer->setText(tr("Server"));
    ui->radioShell->setText(tr("Phone's own tools"));
    ui->radioAuto->setToolTip(tr("The VaDizede server when the phone can run it, else the phone's own tools"));
    ui->radioShell->setToolTip(tr("The phone's screen recorder and input command: slower input, no clipboard"));
    ui->editAdb->setText(dvk::AdbProcess::getAdbPath());
    showMaxFps();
    showConnection();
}

SettingDialog::~SettingDialog()
{
    delete ui;
}

void SettingDialog::mousePressEvent(QMouseEvent* event)
{
    if (!geometry().contains(event->globalPos())) {
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void SettingDialog::mouseReleaseEvent(QMouseEvent* event)
{
    // A click outside the panel dismisses the dialog.
    if (!geometry().contains(event->globalPos())) {
        event->accept();
        close();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void SettingDialog::on_radio30fps_clicked()
{
    storeMaxFps(30);
}

void SettingDialog::on_radio60fps_clicked()
{
    storeMaxFps(60);
}

void SettingDialog::on_radioAuto_clicked()
{
    storeConnection(dvk::defaults::kConnectionAuto);
}

void SettingDialog::on_radioServer_clicked()
{
    storeConnection(dvk::defaults::kConnectionServer);
}

void SettingDialog::on_radioShell_clicked()
{
    storeConnection(dvk::defaults::kConnectionShell);
}

void SettingDialog::on_buttonBrowse_clicked()
{
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString adbPath = dialog.selectedFiles().first();
    ui->editAdb->setText(adbPath);
    dvk::AdbProcess::setAdbPath(adbPath);
    Config::getInstance()->setAdbPath(adbPath);
}

void SettingDialog::on_buttonClose_clicked()
{
    close();
}

void SettingDialog::storeMaxFps(int fps)
{
    Config::getInstance()->setMaxFps(fps);
    showMaxFps();
    // A running connection keeps the rate it was started with.
    ui->labelFpsNote->show();
}

// Shows what the store holds, so a value it did not keep is not shown as chosen.
void SettingDialog::showMaxFps()
{
    const int fps = Config::getInstance()->getMaxFps();
    // Neither button may stay checked for a value the dialog does not offer.
    ui->radio30fps->setAutoExclusive(false);
    ui->radio60fps->setAutoExclusive(false);
    ui->radio30fps->setChecked(fps == 30);
    ui->radio60fps->setChecked(fps == 60);
    ui->radio30fps->setAutoExclusive(true);
    ui->radio60fps->setAutoExclusive(true);
}

void SettingDialog::storeConnection(const QString& connection)
{
    Config::getInstance()->setConnection(connection);
    showConnection();
}

void SettingDialog::showConnection()
{
    const QString connection = Config::getInstance()->getConnection();
    ui->radioAuto->setChecked(connection == QLatin1String(dvk::defaults::kConnectionAuto));
    ui->radioServer->setChecked(connection == QLatin1String(dvk::defaults::kConnectionServer));
    ui->radioShell->setChecked(connection == QLatin1String(dvk::defaults::kConnectionShell));
}

#include "SettingDialog.h"
#include "ui_SettingDialog.h"

#include <QFileDialog>
#include <QMouseEvent>

#include "Config.h"
#include "adb/AdbProcess.h"

SettingDialog::SettingDialog(QWidget* parent) : QDialog(parent), ui(new Ui::SettingDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);

    ui->labelAdb->setText(tr("ADB File Location"));
    ui->labelFps->setText(tr("FPS"));
    ui->buttonBrowse->setText(tr("Browse"));
    ui->labelFpsNote->setText(tr("Applies from the next connection"));
    ui->labelFpsNote->hide();
    ui->editAdb->setText(dvk::AdbProcess::getAdbPath());
    showMaxFps();
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

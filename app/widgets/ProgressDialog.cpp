#include "ProgressDialog.h"

#include <QFontMetrics>
#include <QPropertyAnimation>

#include "WindowShape.h"
#include "ui_progressdialog.h"

ProgressDialog::ProgressDialog(QWidget* parent) : QDialog(parent), ui(new Ui::ProgressDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    WindowShape::roundOff(this, ui->frame, WindowShape::kPanelRadius);
}

ProgressDialog::~ProgressDialog()
{
    delete ui;
}

void ProgressDialog::startAnimation()
{
    ui->buttonConfirm->hide();
    ui->labelPrompt->setText(tr("Installing Apk"));
    ui->progressBar->show();

    // Every showing gets a fresh animation; the old one must not keep driving the bar.
    stopAnimation();
    m_animation = new QPropertyAnimation(ui->progressBar, "value", this);
    m_animation->setDuration(1000);
    m_animation->setLoopCount(-1);
    m_animation->setStartValue(0);
    m_animation->setEndValue(100);
    m_animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void ProgressDialog::showInstallResult(const QString& result)
{
    const QFontMetrics metrics(ui->labelPrompt->font());
    const int width = ui->labelPrompt->width();
    QStringList lines = result.split("\r\n", Qt::KeepEmptyParts);
    for (QString& line : lines) {
        line = metrics.elidedText(line, Qt::ElideMiddle, width);
    }
    ui->labelPrompt->setText(lines.join("\r\n"));
    ui->buttonConfirm->show();
    stopAnimation();
    ui->progressBar->hide();
}

void ProgressDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    startAnimation();
}

void ProgressDialog::on_buttonConfirm_clicked()
{
    close();
}

void ProgressDialog::stopAnimation()
{
    if (m_animation) {
        m_animation->stop();
    }
}

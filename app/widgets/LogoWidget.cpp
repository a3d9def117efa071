#include "LogoWidget.h"
#include "ui_LogoWidget.h"

LogoWidget::LogoWidget(QWidget* parent) : QWidget(parent), ui(new Ui::LogoWidget)
{
    ui->setupUi(this);
}

LogoWidget::~LogoWidget()
{
    delete ui;
}

void LogoWidget::setWaitingFor(const QString& serial)
{
    // A long wireless serial goes onto a second line rather than being cut off.
    ui->labelConnect->setWordWrap(true);
    ui->labelConnect->setText(tr("Waiting for %1").arg(serial));
}

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

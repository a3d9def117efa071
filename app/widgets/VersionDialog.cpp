#include "VersionDialog.h"
#include "ui_VersionDialog.h"

#include <QCoreApplication>

#include "WindowShape.h"

VersionDialog::VersionDialog(QWidget* parent) : QDialog(parent), ui(new Ui::VersionDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    WindowShape::roundOff(this, ui->frame, WindowShape::kPanelRadius);

    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty()) {
        version = "0.0.0";
    }
    ui->labelContent->setText(tr("Version Number: %1").arg(version));
}

VersionDialog::~VersionDialog()
{
    delete ui;
}

void VersionDialog::on_buttonClose_clicked()
{
    close();
}

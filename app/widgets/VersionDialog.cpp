#include "VersionDialog.h"
#include "ui_VersionDialog.h"

#include <QCoreApplication>

VersionDialog::VersionDialog(QWidget* parent) : QDialog(parent), ui(new Ui::VersionDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);

    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty()) {
        version = "0.0.0";
    }
    ui->labelContent->setText(tr("Version Number:") + version);
}

VersionDialog::~VersionDialog()
{
    delete ui;
}

void VersionDialog::on_buttonClose_clicked()
{
    close();
}

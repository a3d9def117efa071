#include "NoticePopup.h"
#include "ui_NoticePopup.h"

#include <QTimer>

NoticePopup::NoticePopup(QWidget* parent) : QDialog(parent), ui(new Ui::NoticePopup)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
}

NoticePopup::~NoticePopup()
{
    delete ui;
}

void NoticePopup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(kShowMs, this, &QDialog::close);
}

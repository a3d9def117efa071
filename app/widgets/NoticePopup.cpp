#include "NoticePopup.h"
#include "ui_NoticePopup.h"

#include <QTimer>

NoticePopup::NoticePopup(QWidget* parent) : QDialog(parent), ui(new Ui::NoticePopup)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    fitText();
}

void NoticePopup::setText(const QString& text)
{
    ui->label->setText(text);
    fitText();
}

// A translation longer than the label widens the panel instead of being cut off.
void NoticePopup::fitText()
{
    ui->label->ensurePolished();
    const int needed = ui->label->fontMetrics().horizontalAdvance(ui->label->text()) + 2;
    const int extra = needed - ui->label->width();
    if (extra <= 0) {
        return;
    }
    ui->label->resize(needed, ui->label->height());
    resize(width() + extra, height());
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

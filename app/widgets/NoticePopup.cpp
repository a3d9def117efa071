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

// Any other notice is information, not a success: no tick, a smaller type, the panel fitted to it.
void NoticePopup::setText(const QString& text)
{
    constexpr int kMargin = 24;
    ui->icon->hide();
    ui->label->setStyleSheet(QStringLiteral("QLabel {font-size: 18px;}"));
    ui->label->setText(text);
    ui->label->ensurePolished();
    const int width = ui->label->fontMetrics().horizontalAdvance(text) + 2;
    ui->label->setGeometry(kMargin, ui->label->y(), width, ui->label->height());
    resize(width + 2 * kMargin, height());
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

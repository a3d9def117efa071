#include "DropTip.h"
#include "ui_DropTip.h"

#include <QResizeEvent>

DropTip::DropTip(QWidget* parent) : QWidget(parent), ui(new Ui::DropTip)
{
    ui->setupUi(this);
    ui->label_bg->setPixmap(
        QPixmap(":/images/toolbar/bg_install_tip.png").scaled(186, 97, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_font = ui->label_tip->font();
    m_font.setPixelSize(15);
    ui->label_tip->setFont(m_font);
}

DropTip::~DropTip()
{
    delete ui;
}

QSize DropTip::backgroundSize() const
{
    return ui->label_bg->size();
}

QSize DropTip::textSize() const
{
    return ui->label_tip->size();
}

void DropTip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    if (w >= 187 && h >= 98) {
        ui->label_bg->resize(186, 97);
        ui->label_tip->resize(120, 70);
        m_font.setPixelSize(13);
    } else if (h > 0 && static_cast<float>(w / h) > m_ratio) {
        // Too wide for the picture: the height decides.
        ui->label_bg->resize(static_cast<int>(m_ratio * h), h);
        ui->label_tip->resize(static_cast<int>(h * m_ratio * 120 / 186), h * 70 / 97);
        m_font.setPixelSize(qMax(1, static_cast<int>(h * 15.0 / 97)));
    } else {
        ui->label_bg->resize(w, static_cast<int>(w / m_ratio));
        ui->label_tip->resize(w * 120 / 186, static_cast<int>(w * 70 / m_ratio / 97));
        m_font.setPixelSize(qMax(1, static_cast<int>(w * 15 / m_ratio / 97)));
    }
    ui->label_tip->setFont(m_font);
}

#include "ToolButton.h"

#include <QMouseEvent>
#include <QPainter>

ToolButton::ToolButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void ToolButton::setIcons(const QString& normal, const QString& pressed, const QString& hover)
{
    m_pixmaps[LookNormal] = QPixmap(normal);
    m_pixmaps[LookPressed] = QPixmap(pressed);
    m_pixmaps[LookHover] = QPixmap(hover);
    update();
}

void ToolButton::setTextColor(const QString& normal, const QString& pressed, const QString& hover)
{
    m_colors[LookNormal] = QColor(normal);
    m_colors[LookPressed] = QColor(pressed);
    m_colors[LookHover] = QColor(hover);
    update();
}

void ToolButton::setIconPaddingStart(int padding)
{
    m_iconPaddingStart = padding;
    update();
}

void ToolButton::setTextPaddingStart(int padding)
{
    m_textPaddingStart = padding;
    update();
}

void ToolButton::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QSize icon = iconSize();
    const QPixmap& pixmap = m_pixmaps[m_look];
    if (!pixmap.isNull()) {
        painter.drawPixmap(QRect(m_iconPaddingStart, (height() - icon.height()) / 2, icon.width(), icon.height()),
                           pixmap);
    }
    if (m_colors[m_look].isValid()) {
        painter.setPen(m_colors[m_look]);
    }
    const int textX = m_iconPaddingStart + icon.width() + m_textPaddingStart;
    painter.drawText(QRect(textX, 0, width() - textX, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

void ToolButton::enterEvent(QEvent* event)
{
    setLook(LookHover);
    QPushButton::enterEvent(event);
}

void ToolButton::leaveEvent(QEvent* event)
{
    setLook(LookNormal);
    QPushButton::leaveEvent(event);
}

void ToolButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        setLook(LookPressed);
    }
    QPushButton::mousePressEvent(event);
}

// The pressed look stays until the pointer leaves.
void ToolButton::mouseReleaseEvent(QMouseEvent* event)
{
    QPushButton::mouseReleaseEvent(event);
}

void ToolButton::setLook(Look look)
{
    m_look = look;
    update();
}

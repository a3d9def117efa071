#ifndef TOOLBUTTON_H
#define TOOLBUTTON_H

#include <QColor>
#include <QPixmap>
#include <QPushButton>

// A push button that draws its own icon and text, with a look for normal, hover and pressed.
class ToolButton : public QPushButton
{
    Q_OBJECT
public:
    enum Look { LookNormal = 0, LookHover = 1, LookPressed = 2 };

    ToolButton(const QString& text, QWidget* parent);

    void setIcons(const QString& normal, const QString& pressed, const QString& hover);
    void setTextColor(const QString& normal, const QString& pressed, const QString& hover);
    void setIconPaddingStart(int padding);
    void setTextPaddingStart(int padding);

    Look look() const { return m_look; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setLook(Look look);

    QPixmap m_pixmaps[3];
    QColor m_colors[3];
    int m_iconPaddingStart = 20;
    int m_textPaddingStart = 15;
    Look m_look = LookNormal;
};

#endif // TOOLBUTTON_H

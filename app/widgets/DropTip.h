#ifndef DROPTIP_H
#define DROPTIP_H

#include <QFont>
#include <QWidget>

namespace Ui {
class DropTip;
}

// The hint under the tool bar's buttons: drop applications onto the screen to install them.
// Its picture keeps its aspect ratio and the text shrinks with it.
class DropTip : public QWidget
{
    Q_OBJECT
public:
    explicit DropTip(QWidget* parent);
    ~DropTip() override;

    QSize backgroundSize() const;
    QSize textSize() const;
    int textPixelSize() const { return m_font.pixelSize(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Ui::DropTip* ui;
    QFont m_font;
    const float m_ratio = 186.0f / 97.0f;
};

#endif // DROPTIP_H

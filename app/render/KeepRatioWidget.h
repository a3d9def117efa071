#ifndef KEEPRATIOWIDGET_H
#define KEEPRATIOWIDGET_H

#include <QPointer>
#include <QWidget>

// Holds one child at a fixed width-to-height ratio, centred, as large as the container allows.
class KeepRatioWidget : public QWidget
{
    Q_OBJECT
public:
    explicit KeepRatioWidget(QWidget* parent = nullptr);
    ~KeepRatioWidget() override;

    void setWidget(QWidget* w);
    void setWidthHeightRatio(float widthHeightRatio);
    // The child's size without black bars; invalid while there is no child or no ratio.
    const QSize goodSize();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void adjustSubWidget();

private:
    float m_widthHeightRatio = -1.0f;
    QPointer<QWidget> m_subWidget;
};

#endif // KEEPRATIOWIDGET_H

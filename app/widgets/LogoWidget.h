#ifndef LOGOWIDGET_H
#define LOGOWIDGET_H

#include <QWidget>

namespace Ui {
class LogoWidget;
}

// What the main window shows while no device is connected.
class LogoWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LogoWidget(QWidget* parent = nullptr);
    ~LogoWidget() override;

    // Names the one device the window waits for, instead of asking for any.
    void setWaitingFor(const QString& serial);

private:
    Ui::LogoWidget* ui;
};

#endif // LOGOWIDGET_H

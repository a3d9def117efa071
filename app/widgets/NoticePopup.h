#ifndef NOTICEPOPUP_H
#define NOTICEPOPUP_H

#include <QDialog>

namespace Ui {
class NoticePopup;
}

// A short notice ("Successful connection" unless given another text), closing by itself two
// seconds after it appears.
class NoticePopup : public QDialog
{
    Q_OBJECT
public:
    explicit NoticePopup(QWidget* parent = nullptr);
    ~NoticePopup() override;

    void setText(const QString& text);

    static constexpr int kShowMs = 2000;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitText();

    Ui::NoticePopup* ui;
};

#endif // NOTICEPOPUP_H

#ifndef NOTICEPOPUP_H
#define NOTICEPOPUP_H

#include <QDialog>

namespace Ui {
class NoticePopup;
}

// A short notice ("Successful connection" unless given another text) that closes by itself. It
// never takes the keyboard focus, so typing into the window goes on while it shows.
class NoticePopup : public QDialog
{
    Q_OBJECT
public:
    explicit NoticePopup(QWidget* parent = nullptr);
    ~NoticePopup() override;

    static constexpr int kShowMs = 2000;
    // Long enough to read a file's path.
    static constexpr int kLongShowMs = 5000;
    // Where a notice's top edge goes, below the window's top edge.
    static constexpr int kTop = 46;

    // Shows a notice near the top of the window, centred over its picture area; it deletes itself.
    static NoticePopup* notify(QWidget* window, const QString& text = QString(), int showMs = kShowMs,
                               int top = kTop);
    // Where a notice of this width goes over the window.
    static QPoint placeOver(QWidget* window, int width, int top = kTop);

    void setText(const QString& text);
    QString text() const;
    void setShowMs(int ms) { m_showMs = ms; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitText();

    Ui::NoticePopup* ui;
    int m_showMs = kShowMs;
};

#endif // NOTICEPOPUP_H

#include "NoticePopup.h"
#include "ui_NoticePopup.h"

#include <QMainWindow>
#include <QTimer>

#include "WindowShape.h"

NoticePopup::NoticePopup(QWidget* parent) : QDialog(parent), ui(new Ui::NoticePopup)
{
    ui->setupUi(this);
    // A tool tip's window: shown without being activated, and never given the focus.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    WindowShape::roundOff(this, ui->frame, WindowShape::kPanelRadius);
    fitText();
}

NoticePopup::~NoticePopup()
{
    delete ui;
}

NoticePopup* NoticePopup::notify(QWidget* window, const QString& text, int showMs, int top)
{
    auto* notice = new NoticePopup(window);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    if (!text.isEmpty()) {
        notice->setText(text);
    }
    notice->setShowMs(showMs);
    if (window) {
        notice->move(placeOver(window, notice->width(), top));
    }
    notice->show();
    return notice;
}

QPoint NoticePopup::placeOver(QWidget* window, int width, int top)
{
    // Centred over the picture, not over the picture and the tool bar together.
    auto* mainWindow = qobject_cast<QMainWindow*>(window);
    QWidget* area = mainWindow && mainWindow->centralWidget() ? mainWindow->centralWidget() : window;
    return QPoint(window->x() + (area->width() - width) / 2, window->y() + top);
}

// Any other notice is information, not a success: no tick, a smaller type, the panel fitted to it.
// A text of several lines (a file's path on a line of its own) gets the height it needs.
void NoticePopup::setText(const QString& text)
{
    constexpr int kMargin = 24;
    ui->icon->hide();
    ui->label->setStyleSheet(QStringLiteral("QLabel {font-size: 18px;}"));
    ui->label->setText(text);
    ui->label->ensurePolished();
    const QFontMetrics metrics = ui->label->fontMetrics();
    const QStringList lines = text.split('\n');
    int width = 0;
    for (const QString& line : lines) {
        width = qMax(width, metrics.horizontalAdvance(line) + 2);
    }
    const int extraHeight = qMax(0, metrics.lineSpacing() * lines.size() - ui->label->height());
    ui->label->setGeometry(kMargin, ui->label->y(), width, ui->label->height() + extraHeight);
    resize(width + 2 * kMargin, height() + extraHeight);
}

QString NoticePopup::text() const
{
    return ui->label->text();
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

void NoticePopup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(m_showMs, this, &QDialog::close);
}

void NoticePopup::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    WindowShape::roundOff(this, ui->frame, WindowShape::kPanelRadius);
}

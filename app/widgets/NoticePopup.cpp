#include "NoticePopup.h"
#include "ui_NoticePopup.h"

#include <QMainWindow>
#include <QTimer>

#include "WindowShape.h"

namespace {

// The notice's top edge below the window's top edge.
const int kNoticeTop = 46;
// The frame's corner radius in the form's style sheet.
const int kCornerRadius = 10;

} // namespace

NoticePopup::NoticePopup(QWidget* parent) : QDialog(parent), ui(new Ui::NoticePopup)
{
    ui->setupUi(this);
    // A tool tip's window: shown without being activated, and never given the focus.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    WindowShape::roundOff(this, ui->frame, kCornerRadius);
    fitText();
}

NoticePopup::~NoticePopup()
{
    delete ui;
}

NoticePopup* NoticePopup::notify(QWidget* window, const QString& text, int showMs)
{
    auto* notice = new NoticePopup(window);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    if (!text.isEmpty()) {
        notice->setText(text);
    }
    notice->setShowMs(showMs);
    if (window) {
        notice->move(placeOver(window, notice->width()));
    }
    notice->show();
    return notice;
}

QPoint NoticePopup::placeOver(QWidget* window, int width)
{
    // Centred over the picture, not over the picture and the tool bar together.
    auto* mainWindow = qobject_cast<QMainWindow*>(window);
    QWidget* area = mainWindow && mainWindow->centralWidget() ? mainWindow->centralWidget() : window;
    return QPoint(window->x() + (area->width() - width) / 2, window->y() + kNoticeTop);
}

void NoticePopup::setText(const QString& text)
{
    ui->label->setText(text);
    fitText();
}

QString NoticePopup::text() const
{
    return ui->label->text();
}

// A longer text, or one of several lines, widens and heightens the panel instead of being cut off.
void NoticePopup::fitText()
{
    ui->label->ensurePolished();
    const QFontMetrics metrics = ui->label->fontMetrics();
    const QStringList lines = ui->label->text().split('\n');
    int widest = 0;
    for (const QString& line : lines) {
        widest = qMax(widest, metrics.horizontalAdvance(line) + 2);
    }
    const int extraWidth = qMax(0, widest - ui->label->width());
    const int extraHeight = qMax(0, metrics.lineSpacing() * lines.size() - ui->label->height());
    if (extraWidth == 0 && extraHeight == 0) {
        return;
    }
    ui->label->resize(ui->label->width() + extraWidth, ui->label->height() + extraHeight);
    resize(width() + extraWidth, height() + extraHeight);
}

void NoticePopup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(m_showMs, this, &QDialog::close);
}

void NoticePopup::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    WindowShape::roundOff(this, ui->frame, kCornerRadius);
}

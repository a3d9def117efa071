#ifndef PROGRESSDIALOG_H
#define PROGRESSDIALOG_H

#include <QDialog>
#include <QPointer>

namespace Ui {
class ProgressDialog;
}

class QPropertyAnimation;

// Shows an endless progress animation while APKs install, then their results and a Confirm button.
class ProgressDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ProgressDialog(QWidget* parent = nullptr);
    ~ProgressDialog() override;

    void startAnimation();
    void showInstallResult(const QString& result);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_buttonConfirm_clicked();

private:
    void stopAnimation();

    Ui::ProgressDialog* ui;
    QPointer<QPropertyAnimation> m_animation;
};

#endif // PROGRESSDIALOG_H

#ifndef SETTINGDIALOG_H
#define SETTINGDIALOG_H

#include <QDialog>

namespace Ui {
class SettingDialog;
}

// The frame-rate limit of new connections and the adb executable.
class SettingDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SettingDialog(QWidget* parent = nullptr);
    ~SettingDialog() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private slots:
    void on_radio30fps_clicked();
    void on_radio60fps_clicked();
    void on_radioAuto_clicked();
    void on_radioServer_clicked();
    void on_radioShell_clicked();
    void on_buttonBrowse_clicked();
    void on_buttonClose_clicked();

private:
    void storeMaxFps(int fps);
    void storeConnection(const QString& connection);
    void showConnection();
    void showMaxFps();

    Ui::SettingDialog* ui;
};

#endif // SETTINGDIALOG_H

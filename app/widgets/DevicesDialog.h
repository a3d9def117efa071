#ifndef DEVICESDIALOG_H
#define DEVICESDIALOG_H

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include "adb/AdbDeviceList.h"
#include "adb/AdbProcess.h"

class QPushButton;

namespace Ui {
class DevicesDialog;
}

// Every device adb knows, a row each, with a button that starts or stops mirroring it, and the
// switch that makes the mirrored devices act as one.
class DevicesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DevicesDialog(QWidget* parent = nullptr);
    ~DevicesDialog() override;

    // The one dialog of the process, placed over the opener's window the first time; opening it
    // again raises it.
    static DevicesDialog* showFor(QWidget* opener);

    // The row's "Mirror" / "Stop" button; null for a device without a row or without the button.
    QPushButton* mirrorButton(const QString& serial) const;

    static constexpr int kRefreshMs = 2000;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void on_buttonClose_clicked();
    void on_checkGroup_toggled(bool on);
    void onRefresh();
    void onDevicesListed(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void onRegistryChanged();

private:
    enum Column { ColumnSerial, ColumnModel, ColumnState, ColumnMirrored, ColumnAction, ColumnCount };
    struct Device
    {
        QString state;
        QString model;
        bool modelAsked = false;
    };

    void initTable();
    void showDevices(const QList<dvk::AdbDeviceList::Entry>& entries);
    int addRow(const QString& serial);
    void removeRow(int row);
    void showRow(int row);
    void showAction(int row, bool mirrored);
    void setCell(int row, int column, const QString& text);
    void askModel(const QString& serial);
    void onModelAnswered(const QString& serial, dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void onMirrorClicked(const QString& serial);
    QString stateText(const QString& state) const;
    QString hintFor(const QString& state) const;
    static bool isMirrored(const QString& serial);

    Ui::DevicesDialog* ui;
    QTimer m_refreshTimer;
    // The "devices -l" under way; a tick that finds it running asks again once it has answered.
    QPointer<dvk::AdbProcess> m_listing;
    bool m_listAgain = false;
    // The rows' serials, in the order adb first listed them.
    QStringList m_serials;
    QHash<QString, Device> m_devices;
};

#endif // DEVICESDIALOG_H

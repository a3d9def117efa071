#ifndef TOOLMENUMORE_H
#define TOOLMENUMORE_H

#include <QWidget>

class KeymapMenu;

namespace Ui {
class ToolMenuMore;
}

// The tool bar's small menu: settings, statement, version, the keymap of the device shown and the
// list of devices.
class ToolMenuMore : public QWidget
{
    Q_OBJECT
public:
    explicit ToolMenuMore(QWidget* parent);
    ~ToolMenuMore() override;

    void setSerial(const QString& serial);

private slots:
    void on_btAdb_clicked();
    void on_btStatement_clicked();
    void on_btVersion_clicked();
    void on_btKeymap_clicked();
    void on_btDevices_clicked();

private:
    template <typename Dialog> void openDialog();

    Ui::ToolMenuMore* ui;
    KeymapMenu* m_keymapMenu = nullptr;
};

#endif // TOOLMENUMORE_H

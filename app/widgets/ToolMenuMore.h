#ifndef TOOLMENUMORE_H
#define TOOLMENUMORE_H

#include <QWidget>

namespace Ui {
class ToolMenuMore;
}

// The tool bar's small menu: settings, statement and version.
class ToolMenuMore : public QWidget
{
    Q_OBJECT
public:
    explicit ToolMenuMore(QWidget* parent);
    ~ToolMenuMore() override;

private slots:
    void on_btAdb_clicked();
    void on_btStatement_clicked();
    void on_btVersion_clicked();

private:
    template <typename Dialog> void openDialog();

    Ui::ToolMenuMore* ui;
};

#endif // TOOLMENUMORE_H

#include "ToolMenuMore.h"
#include "ui_ToolMenuMore.h"

#include <QPointer>

#include "DevicesDialog.h"
#include "KeymapMenu.h"
#include "SettingDialog.h"
#include "StatementDialog.h"
#include "VersionDialog.h"

ToolMenuMore::ToolMenuMore(QWidget* parent) : QWidget(parent), ui(new Ui::ToolMenuMore)
{
    ui->setupUi(this);
    m_keymapMenu = new KeymapMenu(this);
}

ToolMenuMore::~ToolMenuMore()
{
    delete ui;
}

void ToolMenuMore::on_btAdb_clicked()
{
    openDialog<SettingDialog>();
}

void ToolMenuMore::on_btStatement_clicked()
{
    openDialog<StatementDialog>();
}

void ToolMenuMore::setSerial(const QString& serial)
{
    m_keymapMenu->setSerial(serial);
}

void ToolMenuMore::on_btKeymap_clicked()
{
    // Opens to the left of this menu, level with the entry: the tool bar is the window's right edge,
    // and the list stays inside the window. This menu closes as with its other entries.
    const int rightEdge = mapToGlobal(QPoint(0, 0)).x();
    const int top = ui->btKeymap->mapToGlobal(QPoint(0, 0)).y();
    const QRect inside(window()->mapToGlobal(QPoint(0, 0)), window()->size());
    hide();
    m_keymapMenu->openBeside(rightEdge, top, inside);
}

void ToolMenuMore::on_btVersion_clicked()
{
    openDialog<VersionDialog>();
}

void ToolMenuMore::on_btDevices_clicked()
{
    hide();
    DevicesDialog::showFor(this);
}

template <typename Dialog> void ToolMenuMore::openDialog()
{
    hide();
    // Guarded: the tool bar, and the dialog with it, may go while the dialog runs its own loop.
    QPointer<Dialog> dialog = new Dialog(parentWidget());
    dialog->exec();
    delete dialog;
}

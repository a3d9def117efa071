#include "StatementDialog.h"
#include "ui_StatementDialog.h"

#include "WindowShape.h"

StatementDialog::StatementDialog(QWidget* parent) : QDialog(parent), ui(new Ui::StatementDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    WindowShape::roundOff(this, ui->frame, WindowShape::kPanelRadius);
    ui->labelContent->setText(statementText());
}

StatementDialog::~StatementDialog()
{
    delete ui;
}

// The libraries the program links, in the interface's language.
QString StatementDialog::statementText()
{
    return tr("This program uses the following open-source components. Their source code and licences are "
              "available at the addresses below. Our sincere thanks to the developers of these projects!\n"
              "\n"
              "1. Qt, cross-platform application and user-interface framework:\n"
              "    https://code.qt.io/cgit/qt/qtbase.git\n"
              "2. FFmpeg, audio and video codecs and containers:\n"
              "    https://git.ffmpeg.org/ffmpeg.git\n"
              "3. libX11, X Window System client library:\n"
              "    https://gitlab.freedesktop.org/xorg/lib/libx11\n"
              "4. libXfixes, X extension library (keeping the pointer in an area):\n"
              "    https://gitlab.freedesktop.org/xorg/lib/libxfixes");
}

void StatementDialog::on_buttonClose_clicked()
{
    close();
}

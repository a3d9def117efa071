#include "StatementDialog.h"
#include "ui_StatementDialog.h"

StatementDialog::StatementDialog(QWidget* parent) : QDialog(parent), ui(new Ui::StatementDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    ui->labelContent->setText(statementText());
}

StatementDialog::~StatementDialog()
{
    delete ui;
}

// Shown in Chinese in every language; these are the libraries the program links.
QString StatementDialog::statementText()
{
    return QString::fromUtf8(
        "本软件使用了以下开源组件，其源代码及许可证信息可在下列地址获取。衷心感谢这些开源项目的开发者！\n"
        "\n"
        "1. Qt: 跨平台应用程序与界面框架，https://code.qt.io/cgit/qt/qtbase.git\n"
        "2. FFmpeg: 音视频编解码与封装库，https://git.ffmpeg.org/ffmpeg.git\n"
        "3. libX11: X Window 系统客户端库，https://gitlab.freedesktop.org/xorg/lib/libx11\n"
        "4. libXfixes: X 扩展库（鼠标范围限制），https://gitlab.freedesktop.org/xorg/lib/libxfixes");
}

void StatementDialog::on_buttonClose_clicked()
{
    close();
}

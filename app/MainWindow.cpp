#include "MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(tr("VaDizede"));
    resize(965, 427);
}

MainWindow::~MainWindow() = default;

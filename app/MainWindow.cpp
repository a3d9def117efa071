#include "MainWindow.h"

#include "Config.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("MainWindow");
    resize(1165, 540);
    setMinimumSize(Config::getInstance()->getMinWndWidth(), Config::getInstance()->getMinWndHeight());
    setWindowTitle(Config::getInstance()->getTitle());
}

MainWindow::~MainWindow() = default;

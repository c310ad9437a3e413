#include "mainwindow.h"

void MainWindow::openStdlibView()
{
}

void MainWindow::openPainter()
{
}

void MainWindow::toggleStdlibView()
{
}

void MainWindow::setUseExternalEditor(bool)
{
}

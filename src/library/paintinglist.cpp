#include "mainwindow.h"

void MainWindow::fillPaintingList()
{
}

void MainWindow::fileChosen(int)
{
}

#include "mainwindow.h"

void MainWindow::saveImage()
{
}

#include "mainwindow.h"

void MainWindow::saveFileAs()
{
}

#include "mainwindow.h"

void MainWindow::updatePreview()
{
}

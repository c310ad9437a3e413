#include "mainwindow.h"

void MainWindow::loadFile()
{
}

void MainWindow::saveFile()
{
}

void MainWindow::loadStdlib()
{
}

void MainWindow::saveStdlib()
{
}

void MainWindow::saveDocument(const QString &, const QString &, bool)
{
}

void MainWindow::reportSaveFailure(const QString &, const QString &)
{
}

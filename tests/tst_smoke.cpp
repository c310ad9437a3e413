#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>

class tst_Smoke : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }
    void firstStartMakesThePaintingsFolder()
    {
        MainWindow window;
        QVERIFY(QFileInfo(paintingsPath()).isDir());
        QCOMPARE(window.windowTitle(), QStringLiteral("Pictoloom"));
    }
};

QTEST_MAIN(tst_Smoke)
#include "tst_smoke.moc"

#include <QFileInfo>
#include <QTest>

#include "appsession.h"
#include "screenreading.h"

// The first start of the real program in an empty application directory, and its end.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartShowsTheWindowAndWritesNothingUntyped();
    void noticeAboutTheFirstPaintingFollowsTheWindow();
};

void TestStartup::firstStartShowsTheWindowAndWritesNothingUntyped()
{
    AppSession app;
    QVERIFY2(app.start(), qPrintable(app.errorString()));

    const QRect client = app.clientArea();
    QCOMPARE(client.size(), QSize(960, 520));
    QVERIFY(QFileInfo(app.path("paintings")).isDir());
    // Nothing is written before the first save.
    QVERIFY(!app.exists("stdlib.js"));
    QVERIFY(!app.exists("paintings/Sketchbook.js"));

    // The painting page: the list, an empty status area, "Options", "Preview" and "Export".
    QVector<QRect> row;
    QTRY_VERIFY_WITH_TIMEOUT((row = controlRowItems(app.grabClient())).size() == 4, 10000);
    QVERIFY(row.first().left() < client.width() / 4);
    QVERIFY(row.last().right() > client.width() * 3 / 4);
    QVERIFY(!hasDarkPixels(app.grabClient(), statusArea(row)));

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    // Nothing was typed, so nothing is written on the way out either.
    QVERIFY(!app.exists("stdlib.js"));
    QVERIFY(!app.exists("paintings/Sketchbook.js"));
    QVERIFY2(app.desktopRequests().isEmpty(), qPrintable(app.desktopRequests().join(", ")));
}

void TestStartup::noticeAboutTheFirstPaintingFollowsTheWindow()
{
    AppSession app;
    const QByteArray latin1("// caf\xe9\nfunction render() { r = 1; }\n");
    QVERIFY(app.writeFile("paintings/Sketchbook.js", latin1));
    // The main window shows first, and the notice comes over it.
    QVERIFY2(app.launch(), qPrintable(app.errorString()));
    const QString notice = app.waitForWindow("^Text Not Shown Exactly$");
    QVERIFY2(!notice.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Return"}) && app.waitForWindowGone(notice),
             qPrintable(app.errorString()));

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), latin1);
}

QTEST_MAIN(TestStartup)
#include "tst_e2e_startup.moc"

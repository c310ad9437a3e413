#include "core/textfile.h"
#include "engine/scriptrenderer.h"

#include <QDir>
#include <QFileInfo>
#include <QScriptEngine>
#include <QScriptSyntaxCheckResult>
#include <QSet>
#include <QtTest>

namespace {

const QDir examples(QStringLiteral(PICTOLOOM_EXAMPLES_DIR));

QString scriptText(const QString &path)
{
    TextFileContent content;
    if (!readTextFile(path, &content))
        qWarning("cannot read %s", qPrintable(path));
    return content.text;
}

QString starterStdlib()
{
    return scriptText(examples.filePath(QStringLiteral("stdlib.js")));
}

} // namespace

// The paintings and the standard library that a first install copies next to the program.
class tst_Examples : public QObject
{
    Q_OBJECT

private slots:
    void starterStdlibIsAValidProgram();
    void eachPaintingRendersAPicture_data();
    void eachPaintingRendersAPicture();
};

void tst_Examples::starterStdlibIsAValidProgram()
{
    const QString stdlib = starterStdlib();
    QVERIFY(stdlib.contains(QStringLiteral("function hsv(")));
    const QScriptSyntaxCheckResult check = QScriptEngine::checkSyntax(stdlib);
    QVERIFY2(check.state() == QScriptSyntaxCheckResult::Valid,
             qPrintable(QStringLiteral("line %1: %2").arg(check.errorLineNumber())
                            .arg(check.errorMessage())));
}

void tst_Examples::eachPaintingRendersAPicture_data()
{
    QTest::addColumn<QString>("path");

    const QFileInfoList paintings = QDir(examples.filePath(QStringLiteral("paintings")))
                                        .entryInfoList({QStringLiteral("*.js")}, QDir::Files,
                                                       QDir::Name);
    QVERIFY(paintings.size() >= 8);
    for (const QFileInfo &painting : paintings)
        QTest::newRow(qPrintable(painting.fileName())) << painting.filePath();
}

void tst_Examples::eachPaintingRendersAPicture()
{
    QFETCH(QString, path);

    ScriptRenderer renderer;
    const RenderResult result = renderer.render(starterStdlib(), scriptText(path), 1);
    QVERIFY2(result.outcome == RenderResult::Outcome::Picture, qPrintable(result.errorText));
    QCOMPARE(result.image.size(), QSize(640, 480));
    // A helper missing from the library gives NaN, and NaN gives black: a picture, but a flat one.
    QSet<QRgb> colours;
    for (int y = 0; y < 480; y += 8) {
        for (int x = 0; x < 640; x += 8)
            colours.insert(result.image.pixel(x, y));
    }
    QVERIFY2(colours.size() >= 20, qPrintable(QStringLiteral("only %1 colours").arg(colours.size())));
}

QTEST_MAIN(tst_Examples)
#include "tst_examples.moc"

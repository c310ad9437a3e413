#include "app/codeeditor.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QtTest>

#include <memory>

namespace {

// The format the highlighter gave the character at position of the block.
QTextCharFormat formatAt(const QTextBlock &block, int position)
{
    const QVector<QTextLayout::FormatRange> ranges = block.layout()->formats();
    for (const QTextLayout::FormatRange &range : ranges) {
        if (position >= range.start && position < range.start + range.length)
            return range.format;
    }
    return QTextCharFormat();
}

QColor colourAt(const QTextBlock &block, int position)
{
    return formatAt(block, position).foreground().color();
}

QPalette paletteWithBase(const QColor &base)
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, base.lightness() < 128 ? Qt::white : Qt::black);
    return palette;
}

std::unique_ptr<CodeEditor> shownEditor(const QString &text)
{
    std::unique_ptr<CodeEditor> editor(createCodeEditor());
    editor->resize(500, 300);
    editor->setPlainText(text);
    editor->show();
    QApplication::setActiveWindow(editor.get());
    if (!QTest::qWaitForWindowActive(editor.get()))
        return nullptr;
    editor->setFocus();
    return editor;
}

QLineEdit *findField(CodeEditor *editor)
{
    return editor->findChild<QLineEdit *>(QStringLiteral("findText"));
}

} // namespace

class tst_CodeEditor : public QObject
{
    Q_OBJECT

private slots:
    void highlightingFollowsTheTextAndThePalette_data();
    void highlightingFollowsTheTextAndThePalette();
    void gutterFollowsTheDocument();
    void find_data();
    void find();
    void escapeClosesTheFindBar();
    void errorLine_data();
    void errorLine();
};

void tst_CodeEditor::highlightingFollowsTheTextAndThePalette_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("token");
    QTest::addColumn<int>("plain");
    QTest::addColumn<bool>("coloured");

    QTest::newRow("keyword") << "var answer = 42;" << 0 << 4 << true;
    QTest::newRow("comment") << "answer(); // why" << 13 << 0 << true;
    QTest::newRow("string") << "answer = 'text';" << 11 << 0 << true;
    QTest::newRow("number") << "answer = 42;" << 9 << 0 << true;
    QTest::newRow("a line too long to read stays plain")
        << "var answer = 42; //" + QString(10000, QLatin1Char('x')) << 0 << 4 << false;
}

void tst_CodeEditor::highlightingFollowsTheTextAndThePalette()
{
    QFETCH(QString, line);
    QFETCH(int, token);
    QFETCH(int, plain);
    QFETCH(bool, coloured);

    std::unique_ptr<CodeEditor> editor(createCodeEditor());
    editor->setPalette(paletteWithBase(Qt::white));
    editor->setPlainText(QStringLiteral("x;"));
    // Typed in after loading: the highlighter follows edits, not only loads.
    QTextCursor end(editor->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QLatin1Char('\n') + line);
    const QTextBlock block = editor->document()->lastBlock();
    if (!coloured) {
        QCOMPARE(formatAt(block, token), formatAt(block, plain));
        return;
    }
    const QColor onLight = colourAt(block, token);
    QVERIFY(onLight.isValid());
    QVERIFY(formatAt(block, token) != formatAt(block, plain));

    editor->setPalette(paletteWithBase(QColor(0x23, 0x26, 0x29)));
    const QColor onDark = colourAt(block, token);
    QVERIFY(onDark.isValid());
    QVERIFY2(onDark != onLight, "the colours did not change with the palette");
    QVERIFY(formatAt(block, token) != formatAt(block, plain));
}

void tst_CodeEditor::gutterFollowsTheDocument()
{
    auto editor = shownEditor(QStringLiteral("a\nb\nc\nd\ne"));
    QVERIFY(editor);
    auto *gutter = editor->findChild<QWidget *>(QStringLiteral("lineNumberGutter"));
    QVERIFY(gutter);
    QVERIFY(gutter->isVisible());
    const int twoDigits = gutter->width();
    const int digit = editor->fontMetrics().horizontalAdvance(QLatin1Char('9'));
    // The text starts right of the numbers, and the numbers run the text's full height.
    QCOMPARE(editor->viewport()->x(), gutter->geometry().right() + 1);
    QCOMPARE(gutter->height(), editor->viewport()->height());

    editor->setPlainText(QString(999, QLatin1Char('\n')));
    QCOMPARE(gutter->width(), twoDigits + 2 * digit);
    QCOMPARE(editor->viewport()->x(), gutter->geometry().right() + 1);
    editor->setPlainText(QStringLiteral("a\nb"));
    QCOMPARE(gutter->width(), twoDigits);

    // The cursor's line is marked, and the mark moves with the cursor.
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::Down);
    editor->setTextCursor(cursor);
    const QList<QTextEdit::ExtraSelection> marks = editor->extraSelections();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks.first().cursor.blockNumber(), 1);
    QVERIFY(marks.first().format.property(QTextFormat::FullWidthSelection).toBool());
}

void tst_CodeEditor::find_data()
{
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("selectionStart");

    // "red" stands at 0, 9 and 17; the cursor starts at 0.
    QTest::newRow("typing finds the first") << "red" << QStringList() << 0;
    QTest::newRow("typing from the middle finds the one after the cursor") << "red" << QStringList{"start at 5"} << 9;
    QTest::newRow("Enter finds the next") << "red" << QStringList{"Return"} << 9;
    QTest::newRow("Enter twice") << "red" << QStringList{"Return", "Return"} << 17;
    QTest::newRow("Enter wraps at the end") << "red" << QStringList{"Return", "Return", "Return"} << 0;
    QTest::newRow("Shift+Enter wraps back to the last") << "red" << QStringList{"Shift+Return"} << 17;
    QTest::newRow("F3 finds the next") << "red" << QStringList{"F3", "F3"} << 17;
    QTest::newRow("Shift+F3 finds the previous") << "red" << QStringList{"F3", "F3", "Shift+F3"} << 9;
    QTest::newRow("F3 from the editor") << "red" << QStringList{"to editor", "F3"} << 9;
    QTest::newRow("case does not matter") << "RED" << QStringList{"Return"} << 9;
    QTest::newRow("not found leaves the cursor") << "blue" << QStringList{"Return"} << 0;
}

void tst_CodeEditor::find()
{
    QFETCH(QString, wanted);
    QFETCH(QStringList, keys);
    QFETCH(int, selectionStart);

    auto editor = shownEditor(QStringLiteral("red fish\nred fox\nred hen"));
    QVERIFY(editor);
    if (keys.contains("start at 5")) {
        QTextCursor cursor = editor->textCursor();
        cursor.setPosition(5);
        editor->setTextCursor(cursor);
    }
    QTest::keyClick(editor.get(), Qt::Key_F, Qt::ControlModifier);
    QLineEdit *field = findField(editor.get());
    QVERIFY(field);
    QTRY_VERIFY(field->hasFocus());
    QVERIFY(field->isVisible());
    // Under the text: the bar takes the bottom of the editor, the text stops above it.
    QVERIFY(field->mapTo(editor.get(), QPoint(0, 0)).y() >= editor->viewport()->geometry().bottom());
    QTest::keyClicks(field, wanted);

    for (const QString &key : keys) {
        QWidget *focus = QApplication::focusWidget();
        if (key == "to editor")
            editor->setFocus();
        else if (key == "Return")
            QTest::keyClick(focus, Qt::Key_Return);
        else if (key == "Shift+Return")
            QTest::keyClick(focus, Qt::Key_Return, Qt::ShiftModifier);
        else if (key == "F3")
            QTest::keyClick(focus, Qt::Key_F3);
        else if (key == "Shift+F3")
            QTest::keyClick(focus, Qt::Key_F3, Qt::ShiftModifier);
    }

    QCOMPARE(editor->textCursor().selectionStart(), selectionStart);
    QCOMPARE(editor->toPlainText(), QStringLiteral("red fish\nred fox\nred hen"));
}

void tst_CodeEditor::escapeClosesTheFindBar()
{
    auto editor = shownEditor(QStringLiteral("one\ntwo"));
    QVERIFY(editor);
    const int fullHeight = editor->viewport()->height();
    QTest::keyClick(editor.get(), Qt::Key_F, Qt::ControlModifier);
    QLineEdit *field = findField(editor.get());
    QVERIFY(field);
    QTRY_VERIFY(field->hasFocus());
    QVERIFY(editor->viewport()->height() < fullHeight);
    QTest::keyClicks(field, "two");

    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    QCOMPARE(editor->viewport()->height(), fullHeight);
    QTRY_VERIFY(editor->hasFocus());
    // Typing goes on in the text, over the match that the bar left selected.
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QCOMPARE(editor->toPlainText(), QStringLiteral("one\n2"));
}

void tst_CodeEditor::errorLine_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("marked");
    QTest::addColumn<int>("cursorAt");

    QTest::newRow("third line") << 3 << 3 << 8;
    QTest::newRow("last line") << 5 << 5 << 16;
    QTest::newRow("beyond the last line marks nothing") << 6 << 0 << 1;
    QTest::newRow("line 0 marks nothing") << 0 << 0 << 1;
}

void tst_CodeEditor::errorLine()
{
    QFETCH(int, line);
    QFETCH(int, marked);
    QFETCH(int, cursorAt);

    std::unique_ptr<CodeEditor> editor(createCodeEditor());
    editor->setPlainText(QStringLiteral("one\ntwo\nsix\nten\nend"));
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(1);
    editor->setTextCursor(cursor);

    editor->showErrorLine(line);
    QCOMPARE(editor->errorLine(), marked);
    QCOMPARE(editor->textCursor().position(), cursorAt);
    QVERIFY(!editor->textCursor().hasSelection());
    if (!marked)
        return;
    QCOMPARE(editor->extraSelections().size(), 1);
    QCOMPARE(editor->extraSelections().first().cursor.blockNumber(), marked - 1);

    // Moving away keeps the mark; colours made anew keep it; the next edit ends it.
    editor->moveCursor(QTextCursor::Start);
    editor->setPalette(paletteWithBase(Qt::black));
    QCOMPARE(editor->errorLine(), marked);
    QCOMPARE(editor->extraSelections().size(), 2);
    editor->textCursor().insertText(QStringLiteral("x"));
    QCOMPARE(editor->errorLine(), 0);
    QCOMPARE(editor->extraSelections().size(), 1);
}

QTEST_MAIN(tst_CodeEditor)
#include "tst_codeeditor.moc"

#include "app/codeeditor.h"

#include <KSyntaxHighlighting/Repository>
#include <KSyntaxHighlighting/Theme>

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPalette>
#include <QWheelEvent>
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

// A row's text: "|" stands for the cursor, "^" for the other end of a selection.
void setTextAndCursor(CodeEditor *editor, QString text)
{
    int anchor = text.indexOf(QLatin1Char('^'));
    if (anchor >= 0)
        text.remove(anchor, 1);
    const int position = text.indexOf(QLatin1Char('|'));
    text.remove(position, 1);
    if (anchor > position)
        --anchor;
    editor->setPlainText(text);
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(anchor >= 0 ? anchor : position);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
}

QString textAndCursor(const CodeEditor *editor)
{
    const QTextCursor cursor = editor->textCursor();
    QString text = editor->toPlainText();
    text.insert(cursor.position(), QLatin1Char('|'));
    if (cursor.hasSelection())
        text.insert(cursor.anchor() + (cursor.anchor() > cursor.position() ? 1 : 0), QLatin1Char('^'));
    return text;
}

void pressKeys(QWidget *widget, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (key == "Return")
            QTest::keyClick(widget, Qt::Key_Return);
        else if (key == "Tab")
            QTest::keyClick(widget, Qt::Key_Tab);
        else if (key == "Backtab")
            QTest::keyClick(widget, Qt::Key_Backtab, Qt::ShiftModifier);
        else if (key == "Ctrl+Plus")
            QTest::keyClick(widget, Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
        else if (key == "Ctrl+=")
            QTest::keyClick(widget, Qt::Key_Equal, Qt::ControlModifier);
        else if (key == "Ctrl+Minus")
            QTest::keyClick(widget, Qt::Key_Minus, Qt::ControlModifier);
        else if (key == "Ctrl+0")
            QTest::keyClick(widget, Qt::Key_0, Qt::ControlModifier);
        else
            QTest::keyClicks(widget, key);
    }
}

// The brackets marked in the editor, drawn under its text: "^" in the colour of a pair, "!" in
// another (a bracket without a partner).
QString bracketMarks(const CodeEditor *editor, const QColor &paired)
{
    QString marks(editor->document()->characterCount() - 1, QLatin1Char(' '));
    const QList<QTextEdit::ExtraSelection> selections = editor->extraSelections();
    for (const QTextEdit::ExtraSelection &selection : selections) {
        if (selection.format.property(QTextFormat::FullWidthSelection).toBool())
            continue;
        const QColor colour = selection.format.background().color();
        const int at = selection.cursor.selectionStart();
        if (marks.at(at) != QLatin1Char(' ') || selection.cursor.selectedText().size() != 1)
            return QStringLiteral("a bracket marked twice, or a mark not on one character");
        marks[at] = colour == paired ? QLatin1Char('^') : QLatin1Char('!');
    }
    return marks;
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
    void indentation_data();
    void indentation();
    void brackets_data();
    void brackets();
    void bracketsFollowACommentOpenedAbove();
    void textSize_data();
    void textSize();
    void initTestCase();
    void cleanup();

private:
    QColor pairedColour;
};

// The colour of a pair in the theme that a light palette picks.
void tst_CodeEditor::initTestCase()
{
    using KSyntaxHighlighting::Theme;
    KSyntaxHighlighting::Repository repository;
    const Theme theme = repository.defaultTheme(KSyntaxHighlighting::Repository::LightTheme);
    pairedColour = QColor(theme.editorColor(Theme::BracketMatching));
}

void tst_CodeEditor::cleanup()
{
    CodeEditor::setTextSize(CodeEditor::startTextSize);
}

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

void tst_CodeEditor::indentation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("result");

    QTest::newRow("a block typed in")
        << "|" << QStringList{"function render() {", "Return", "r = 1;", "Return", "}"}
        << "function render() {\n    r = 1;\n}|";
    QTest::newRow("Return keeps the indentation") << "    a = 1;|" << QStringList{"Return"}
                                                  << "    a = 1;\n    |";
    QTest::newRow("Return keeps tabs") << "\tif (a)|" << QStringList{"Return"} << "\tif (a)\n\t|";
    QTest::newRow("a brace adds a level") << "    if (a) {|" << QStringList{"Return"}
                                          << "    if (a) {\n        |";
    QTest::newRow("a brace before trailing spaces") << "if (a) {  |" << QStringList{"Return"}
                                                    << "if (a) {  \n    |";
    QTest::newRow("only the text before the cursor counts") << "  f({|});" << QStringList{"Return"}
                                                             << "  f({\n      |});";
    QTest::newRow("Return replaces the selection") << "a {^old|" << QStringList{"Return"}
                                                   << "a {\n    |";
    QTest::newRow("a brace on a blank line takes a level") << "        |" << QStringList{"}"}
                                                           << "    }|";
    QTest::newRow("a brace on a blank line, the cursor inside") << "  |    " << QStringList{"}"}
                                                               << "  }|";
    QTest::newRow("a brace after text stays") << "    a|" << QStringList{"}"} << "    a}|";
    QTest::newRow("a brace before text stays") << "    |a" << QStringList{"}"} << "    }|a";
    QTest::newRow("a brace at the start") << "|" << QStringList{"}"} << "}|";
    QTest::newRow("Tab without a selection") << "a|b" << QStringList{"Tab"} << "a\t|b";
    QTest::newRow("Tab on a selection in one line") << "a^bc|d" << QStringList{"Tab"}
                                                    << "a\t|d";
    QTest::newRow("Tab on lines") << "x^a\nb\nc|" << QStringList{"Tab"}
                                  << "^    xa\n    b\n    c|";
    QTest::newRow("Tab twice") << "|a\nb^" << QStringList{"Tab", "Tab"}
                               << "^        a\n        b|";
    QTest::newRow("Tab leaves the line the selection ends at the start of")
        << "^a\nb\n|c" << QStringList{"Tab"} << "^    a\n    b|\nc";
    QTest::newRow("Tab leaves empty lines empty") << "^a\n\nb|" << QStringList{"Tab"}
                                                  << "^    a\n\n    b|";
    QTest::newRow("Backtab on lines") << "^    a\n  b\n\tc\nd\n      e|"
                                      << QStringList{"Backtab"} << "^a\nb\nc\nd\n  e|";
    QTest::newRow("Backtab on the cursor's line") << "        a|b" << QStringList{"Backtab"}
                                                  << "    a|b";
    QTest::newRow("Backtab on an unindented line") << "a|b" << QStringList{"Backtab"} << "a|b";
}

void tst_CodeEditor::indentation()
{
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(QString, result);

    auto editor = shownEditor(QString());
    QVERIFY(editor);
    setTextAndCursor(editor.get(), text);
    pressKeys(editor.get(), keys.mid(0, keys.size() - 1));
    const QString beforeLastKey = editor->toPlainText();
    pressKeys(editor.get(), keys.mid(keys.size() - 1));
    QCOMPARE(textAndCursor(editor.get()), result);

    // Each key is one step to undo.
    editor->undo();
    QCOMPARE(editor->toPlainText(), beforeLastKey);
}

void tst_CodeEditor::brackets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("marks");

    QTest::newRow("after an opening") << "f(|a)" << " ^ ^";
    QTest::newRow("before an opening") << "f|(a)" << " ^ ^";
    QTest::newRow("after a closing") << "f(a)|" << " ^ ^";
    QTest::newRow("the outer pair of nested ones") << "|{ [ ( ) ] }" << "^         ^";
    QTest::newRow("a bracket on each side") << "a[b(c)|]" << " ^ ^ ^^";
    QTest::newRow("a pair on both sides is marked once") << "(|)" << "^^";
    QTest::newRow("no bracket") << "a|b" << "  ";
    QTest::newRow("across lines") << "f() {|\n  g();\n}" << "    ^" + QString(8, ' ') + "^";
    QTest::newRow("a bracket in a string is left out") << "a = (')' + b|);"
                                                        << "    ^       ^ ";
    QTest::newRow("at a bracket in a string") << "s = '(|';" << "        ";
    QTest::newRow("in a line comment") << "f( // )\n)|" << " ^      ^";
    QTest::newRow("in a comment across lines") << "f(/*\n ) ]\n*/|)" << " ^          ^";
    QTest::newRow("in a template string") << "f(`)`|)" << " ^   ^";
    QTest::newRow("without a partner: opening") << "f(|a" << " ! ";
    QTest::newRow("without a partner: closing") << "a)|" << " !";
    QTest::newRow("a partner only in a string") << "'('|)" << "   !";
    QTest::newRow("of different kinds") << "(|]" << "!!";
    QTest::newRow("crossed") << "( [ ) ]|" << "      !";
    QTest::newRow("far within a long line") << "(|" + QString(60000, ' ') + ")"
                                            << "^" + QString(60000, ' ') + "^";
    QTest::newRow("too far to know") << "(|" + QString(200000, ' ') + ")"
                                     << QString(200002, ' ');
}

void tst_CodeEditor::brackets()
{
    QFETCH(QString, text);
    QFETCH(QString, marks);

    std::unique_ptr<CodeEditor> editor(createCodeEditor());
    editor->setPalette(paletteWithBase(Qt::white));
    setTextAndCursor(editor.get(), text);
    QCOMPARE(bracketMarks(editor.get(), pairedColour), marks);
    // Beside the mark of the cursor's line.
    QCOMPARE(editor->extraSelections().first().cursor.blockNumber(),
             editor->textCursor().blockNumber());
}

void tst_CodeEditor::bracketsFollowACommentOpenedAbove()
{
    std::unique_ptr<CodeEditor> editor(createCodeEditor());
    editor->setPalette(paletteWithBase(Qt::white));
    setTextAndCursor(editor.get(), "x\nf(\n)|");
    QCOMPARE(bracketMarks(editor.get(), pairedColour), "   ^ ^");

    QTextCursor(editor->document()).insertText(QStringLiteral("/*"));
    QTRY_COMPARE(bracketMarks(editor.get(), pairedColour), "        ");
    QTextCursor(editor->document()).deleteChar();
    QTRY_COMPARE(bracketMarks(editor.get(), pairedColour), "    ^ ^");
}

void tst_CodeEditor::textSize_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("typedIn");
    QTest::addColumn<int>("size");

    QTest::newRow("Ctrl+Plus") << QStringList{"Ctrl+Plus"} << "first" << 11;
    QTest::newRow("Ctrl+=") << QStringList{"Ctrl+="} << "first" << 11;
    QTest::newRow("Ctrl+Minus") << QStringList{"Ctrl+Minus"} << "first" << 9;
    QTest::newRow("Ctrl+0 goes back to the start")
        << QStringList{"Ctrl+=", "Ctrl+=", "Ctrl+Minus", "Ctrl+=", "Ctrl+0"} << "first" << 10;
    QTest::newRow("no larger than 40") << QStringList(QVector<QString>(35, "Ctrl+=").toList()) << "first" << 40;
    QTest::newRow("no smaller than 6") << QStringList(QVector<QString>(5, "Ctrl+Minus").toList()) << "first" << 6;
    QTest::newRow("in the other editor") << QStringList{"Ctrl+Plus", "Ctrl+Plus"} << "second"
                                         << 12;
    QTest::newRow("from the find bar") << QStringList{"Ctrl+Minus"} << "find bar" << 9;
    QTest::newRow("Ctrl with the wheel") << QStringList{"wheel up"} << "first" << 11;
}

void tst_CodeEditor::textSize()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, typedIn);
    QFETCH(int, size);

    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    CodeEditor *editors[] = {createCodeEditor(), createCodeEditor()};
    for (CodeEditor *editor : editors) {
        editor->setPlainText(QStringLiteral("a\n\tb"));
        layout->addWidget(editor);
    }
    // The window's own shortcuts on the same keys do not take them from an editor.
    // (The find bar shares them: there the two would be ambiguous.)
    auto *windowAction = new QAction(&window);
    if (typedIn != "find bar") {
        windowAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal),
                                    QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                    QKeySequence(Qt::CTRL | Qt::Key_Minus),
                                    QKeySequence(Qt::CTRL | Qt::Key_0)});
    }
    window.addAction(windowAction);
    QSignalSpy windowShortcuts(windowAction, &QAction::triggered);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const int gutterAtStart = editors[0]->gutterWidth();

    CodeEditor *target = editors[typedIn == "second" ? 1 : 0];
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    QWidget *receiver = target;
    if (typedIn == "find bar") {
        QTest::keyClick(target, Qt::Key_F, Qt::ControlModifier);
        receiver = findField(target);
        QTRY_VERIFY(receiver->hasFocus());
    }
    if (keys == QStringList{"wheel up"}) {
        QWheelEvent wheel(QPointF(5, 5), target->viewport()->mapToGlobal(QPoint(5, 5)), QPoint(),
                          QPoint(0, QWheelEvent::DefaultDeltasPerStep), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target->viewport(), &wheel);
    } else {
        pressKeys(receiver, keys);
    }

    QCOMPARE(CodeEditor::textSize(), size);
    for (CodeEditor *editor : editors) {
        QCOMPARE(editor->font().pointSize(), size);
        QCOMPARE(editor->tabStopDistance(),
                 qreal(editor->fontMetrics().horizontalAdvance(QStringLiteral("    "))));
        // The gutter follows, and the text stays beside it.
        auto *gutter = editor->findChild<QWidget *>(QStringLiteral("lineNumberGutter"));
        QCOMPARE(gutter->width(), editor->gutterWidth());
        QCOMPARE(editor->viewport()->x(), gutter->geometry().right() + 1);
        if (size > CodeEditor::startTextSize)
            QVERIFY(gutter->width() > gutterAtStart);
        else
            QVERIFY(gutter->width() <= gutterAtStart);
    }
    QCOMPARE(editors[0]->toPlainText(), QStringLiteral("a\n\tb"));
    QCOMPARE(windowShortcuts.count(), 0);
    // An editor made later starts at the size the others show.
    std::unique_ptr<CodeEditor> later(createCodeEditor());
    QCOMPARE(later->font().pointSize(), size);
}

QTEST_MAIN(tst_CodeEditor)
#include "tst_codeeditor.moc"

// Moves the cursor of a code editor on and off a bracket, as typing does, and times each move
// with the brackets marked: in a script of many lines, and in one line of millions of characters
// with a partner close by, far away, or none at all.

#include "app/codeeditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTextCursor>

#include <cstdio>

namespace {

const int moves = 200;

// One function whose braces hold the whole script.
QString manyLines(int lines)
{
    QString text = QStringLiteral("function render() {\n");
    for (int line = 0; line < lines; ++line)
        text += QStringLiteral("    r = Math.max(a[%1], (b + ')') * 2); // (\n").arg(line % 7);
    return text + QStringLiteral("}\n");
}

// Minified code: statements with brackets all on one line, opened by an unclosed bracket.
QString oneLine(int length)
{
    QString text = QStringLiteral("(");
    const QString statement = QStringLiteral("var a = [1, (2 + 3)];");
    text.reserve(length + statement.size());
    while (text.size() < length)
        text += statement;
    return text;
}

// Milliseconds per move between the two positions.
double timeMoves(CodeEditor &editor, int bracketAt, int awayAt)
{
    QTextCursor cursor = editor.textCursor();
    QElapsedTimer timer;
    timer.start();
    for (int move = 0; move < moves; ++move) {
        cursor.setPosition(move % 2 ? awayAt : bracketAt);
        editor.setTextCursor(cursor);
    }
    return double(timer.nsecsElapsed()) / 1e6 / moves;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CodeEditor *editor = createCodeEditor();
    editor->resize(800, 600);
    editor->show();
    QCoreApplication::processEvents();

    std::printf("%-44s %12s\n", "cursor beside", "ms per move");
    for (const int lines : {1000, 10000}) {
        editor->setPlainText(manyLines(lines));
        const QString label = QStringLiteral("the opening brace of %1 lines").arg(lines);
        std::printf("%-44s %12.3f\n", qPrintable(label),
                    timeMoves(*editor, int(qstrlen("function render() {")), 2));
        std::printf("%-44s %12.3f\n", "no bracket, same lines", timeMoves(*editor, 3, 2));
    }
    const int length = 5000000;
    editor->setPlainText(oneLine(length));
    const int statementStart = 1 + 2 * 21;
    std::printf("%-44s %12.3f\n", "no bracket, in a line of 5 000 000",
                timeMoves(*editor, statementStart + 1, statementStart + 2));
    std::printf("%-44s %12.3f\n", "a near pair, same line",
                timeMoves(*editor, statementStart + 8, statementStart + 2));
    std::printf("%-44s %12.3f\n", "a bracket without partner, same line",
                timeMoves(*editor, 1, statementStart + 2));
    std::printf("%-44s %12.3f\n", "a bracket at the line's end, same line",
                timeMoves(*editor, editor->document()->characterCount() - 1, statementStart + 2));
    delete editor;
    return 0;
}

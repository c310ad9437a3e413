#include "app/codeeditor.h"

#include <QFont>
#include <QFontMetrics>
#include <QPlainTextEdit>

QPlainTextEdit *createCodeEditor()
{
    auto *editor = new QPlainTextEdit;
    editor->setMinimumWidth(320);
    editor->setFont(QFont(QStringLiteral("Courier"), 10));
    // Measured as the editor lays out its text: a font on its own is measured at the
    // application's default resolution, which need not be the editor's screen's.
    editor->setTabStopDistance(editor->fontMetrics().horizontalAdvance(QStringLiteral("    ")));
    return editor;
}

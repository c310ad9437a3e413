#include "codeeditor.h"

#include <QFont>
#include <QFontMetrics>
#include <QPlainTextEdit>

QPlainTextEdit *createCodeEditor()
{
    auto *editor = new QPlainTextEdit;
    editor->setMinimumWidth(320);
    const QFont font(QStringLiteral("Courier"), 10);
    editor->setFont(font);
    editor->setTabStopDistance(QFontMetrics(font).horizontalAdvance(QStringLiteral("    ")));
    return editor;
}

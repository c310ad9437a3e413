#include "app/consolepanel.h"

#include "core/picturescale.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPalette>
#include <QTextCharFormat>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// Readable on the light and the dark palette alike.
const QColor warningColour(0xb0, 0x70, 0x00);
const QColor errorColour(0xd0, 0x20, 0x20);

} // namespace

ConsolePanel::ConsolePanel(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("consolePanel"));
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setPlaceholderText(tr("What print() and console.log() write shows here."));
    // The window keeps a thousand lines of a render, and a few of its own.
    setMaximumBlockCount(ConsoleLines::kept + 10);
}

void ConsolePanel::clearLines()
{
    clear();
    hasLines = false;
}

QString ConsolePanel::originText(const ConsoleLine &line)
{
    if (line.isFromTopLevel())
        return tr("top level");
    return tr("(%1, %2)").arg(numberText(line.pixel.x()), numberText(line.pixel.y()));
}

// An animation shows each frame's lines as it plays: they go in as one edit, with one scroll.
void ConsolePanel::appendLines(const QVector<ConsoleLine> &lines)
{
    if (lines.isEmpty())
        return;
    const QColor plain = palette().color(QPalette::Text);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (const ConsoleLine &line : lines) {
        const QColor colour = line.kind == ConsoleLine::Kind::Error     ? errorColour
                              : line.kind == ConsoleLine::Kind::Warning ? warningColour
                                                                        : plain;
        insertColoured(&cursor, originText(line), line.text, colour);
    }
    cursor.endEditBlock();
    showNewest();
}

void ConsolePanel::appendDropped(qint64 count)
{
    if (count == 1)
        appendNote(tr("... and 1 more line, not shown"));
    else if (count > 1)
        appendNote(tr("... and %1 more lines, not shown").arg(count));
}

void ConsolePanel::appendFailure(const QString &text)
{
    for (const QString &line : text.split(QLatin1Char('\n')))
        appendColoured(QString(), line, errorColour);
}

void ConsolePanel::appendNote(const QString &text)
{
    appendColoured(QString(), text, palette().color(QPalette::PlaceholderText));
}

void ConsolePanel::appendText(const QString &text)
{
    appendColoured(QString(), text, palette().color(QPalette::Text));
}

void ConsolePanel::appendColoured(const QString &origin, const QString &text, const QColor &colour)
{
    QTextCursor cursor(document());
    insertColoured(&cursor, origin, text, colour);
    showNewest();
}

void ConsolePanel::insertColoured(QTextCursor *cursor, const QString &origin, const QString &text,
                                  const QColor &colour)
{
    cursor->movePosition(QTextCursor::End);
    if (hasLines)
        cursor->insertBlock();
    hasLines = true;
    QTextCharFormat originFormat;
    originFormat.setForeground(palette().color(QPalette::PlaceholderText));
    if (!origin.isEmpty())
        cursor->insertText(origin + QStringLiteral(": "), originFormat);
    QTextCharFormat textFormat;
    textFormat.setForeground(colour);
    cursor->insertText(text, textFormat);
}

// The start of the newest line in view, however long the line.
void ConsolePanel::showNewest()
{
    setTextCursor(QTextCursor(document()->lastBlock()));
    ensureCursorVisible();
}

QSize ConsolePanel::sizeHint() const
{
    const int lines = 7;
    return QSize(QPlainTextEdit::sizeHint().width(),
                 lines * fontMetrics().lineSpacing() + 2 * (frameWidth() + int(document()->documentMargin())));
}

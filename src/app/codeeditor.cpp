#include "app/codeeditor.h"

#include "app/findbar.h"

#include <KSyntaxHighlighting/Definition>
#include <KSyntaxHighlighting/Repository>
#include <KSyntaxHighlighting/SyntaxHighlighter>
#include <KSyntaxHighlighting/Theme>

#include <QFont>
#include <QFontMetrics>
#include <QKeySequence>
#include <QList>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFormat>

namespace {

using KSyntaxHighlighting::Repository;
using KSyntaxHighlighting::Theme;

// Both editors use the same definitions and themes, loaded once.
Repository &syntaxRepository()
{
    static Repository repository;
    return repository;
}

// A line of many thousand characters is data or minified code rather than something to read,
// and colouring it would slow every layout of it.
class CodeHighlighter : public KSyntaxHighlighting::SyntaxHighlighter
{
public:
    using SyntaxHighlighter::SyntaxHighlighter;

protected:
    void highlightBlock(const QString &text) override
    {
        if (text.size() <= longestHighlightedLine)
            SyntaxHighlighter::highlightBlock(text);
    }

private:
    static constexpr int longestHighlightedLine = 10000;
};

class LineNumberGutter : public QWidget
{
public:
    explicit LineNumberGutter(CodeEditor *owner)
        : QWidget(owner)
        , editor(owner)
    {
        setObjectName(QStringLiteral("lineNumberGutter"));
    }

    QSize sizeHint() const override { return QSize(editor->gutterWidth(), 0); }

protected:
    void paintEvent(QPaintEvent *event) override { editor->paintGutter(this, event->rect()); }

private:
    CodeEditor *editor;
};

const int gutterPadding = 4;

} // namespace

CodeEditor::CodeEditor(QWidget *parent)
    : QPlainTextEdit(parent)
    , highlighter(new CodeHighlighter(document()))
    , gutter(new LineNumberGutter(this))
    , findBar(new FindBar(this, this))
{
    highlighter->setDefinition(syntaxRepository().definitionForName(QStringLiteral("JavaScript")));
    applyTheme();
    findBar->setObjectName(QStringLiteral("findBar"));
    findBar->hide();

    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEditor::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, &CodeEditor::scrollGutter);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CodeEditor::updateLineMarks);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (removed || added) {
            ++edits;
            clearErrorLine();
        }
    });
    connect(findBar, &FindBar::closeRequested, this, [this] { setFindBarVisible(false); });

    // On the editor and its find bar only, so that each editor finds in its own text.
    const auto addShortcut = [this](const QKeySequence &keys, void (CodeEditor::*action)()) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    addShortcut(QKeySequence::Find, &CodeEditor::openFindBar);
    addShortcut(QKeySequence(Qt::Key_F3), &CodeEditor::findNext);
    addShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), &CodeEditor::findPrevious);

    updateMargins();
    updateLineMarks();
}

void CodeEditor::showErrorLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(line - 1);
    if (line < 1 || !block.isValid())
        return;
    setTextCursor(QTextCursor(block));
    centerCursor();
    errorBlock = block.blockNumber();
    updateLineMarks();
}

void CodeEditor::clearErrorLine()
{
    if (errorBlock < 0)
        return;
    errorBlock = -1;
    updateLineMarks();
}

int CodeEditor::gutterWidth() const
{
    const int digits = QString::number(qMax(1, blockCount())).size();
    return 2 * gutterPadding
        + fontMetrics().horizontalAdvance(QLatin1Char('9')) * qMax(2, digits);
}

void CodeEditor::paintGutter(QWidget *gutterWidget, const QRect &area)
{
    QPainter painter(gutterWidget);
    painter.fillRect(area, gutterBackground);
    painter.setFont(font());
    const int current = textCursor().blockNumber();
    const int numberWidth = gutterWidget->width() - gutterPadding;

    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= area.bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= area.top()) {
            const int number = block.blockNumber();
            painter.setPen(number == errorBlock ? errorNumberColour
                           : number == current  ? currentLineNumberColour
                                                : lineNumberColour);
            painter.drawText(QRectF(0, top, numberWidth, fontMetrics().height()),
                             Qt::AlignRight, QString::number(number + 1));
        }
        top += height;
        block = block.next();
    }
}

void CodeEditor::setFindBarVisible(bool visible)
{
    findBar->setVisible(visible);
    updateMargins();
    if (visible) {
        findBar->start();
    } else {
        setFocus(Qt::OtherFocusReason);
    }
}

void CodeEditor::openFindBar()
{
    setFindBarVisible(true);
}

void CodeEditor::findNext()
{
    if (findBar->isHidden() || findBar->text().isEmpty())
        setFindBarVisible(true);
    else
        findBar->findNext();
}

void CodeEditor::findPrevious()
{
    if (findBar->isHidden() || findBar->text().isEmpty())
        setFindBarVisible(true);
    else
        findBar->findPrevious();
}

void CodeEditor::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    placeSideWidgets();
}

// The viewport also changes size when a scroll bar comes or goes.
bool CodeEditor::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Resize)
        placeSideWidgets();
    return QPlainTextEdit::viewportEvent(event);
}

void CodeEditor::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyTheme();
    else if (event->type() == QEvent::FontChange)
        updateMargins();
}

void CodeEditor::updateMargins()
{
    const int findBarHeight = findBar->isHidden() ? 0 : findBar->sizeHint().height();
    setViewportMargins(gutterWidth(), 0, 0, findBarHeight);
    placeSideWidgets();
}

void CodeEditor::placeSideWidgets()
{
    const QRect contents = contentsRect();
    const QRect view = viewport()->geometry();
    gutter->setGeometry(contents.left(), view.top(), gutterWidth(), view.height());
    findBar->setGeometry(contents.left(), view.bottom() + 1, view.right() + 1 - contents.left(),
                         findBar->sizeHint().height());
}

void CodeEditor::scrollGutter(const QRect &area, int dy)
{
    if (dy)
        gutter->scroll(0, dy);
    else
        gutter->update(0, area.y(), gutter->width(), area.height());
}

void CodeEditor::updateLineMarks()
{
    QList<QTextEdit::ExtraSelection> marks;
    const int current = textCursor().blockNumber();
    // An empty editor shows its placeholder text, which the mark would paint over.
    if (current != errorBlock && !document()->isEmpty()) {
        QTextEdit::ExtraSelection currentLine;
        currentLine.format.setBackground(currentLineColour);
        currentLine.format.setProperty(QTextFormat::FullWidthSelection, true);
        currentLine.cursor = textCursor();
        currentLine.cursor.clearSelection();
        marks.append(currentLine);
    }
    const QTextBlock errorLineBlock = document()->findBlockByNumber(errorBlock);
    if (errorBlock >= 0 && errorLineBlock.isValid()) {
        QTextEdit::ExtraSelection errorLine;
        errorLine.format.setBackground(errorLineColour);
        errorLine.format.setProperty(QTextFormat::FullWidthSelection, true);
        errorLine.cursor = QTextCursor(errorLineBlock);
        marks.append(errorLine);
    }
    setExtraSelections(marks);
    gutter->update();
}

void CodeEditor::applyTheme()
{
    const bool dark = palette().color(QPalette::Base).lightness() < 128;
    const Theme theme = syntaxRepository().defaultTheme(dark ? Repository::DarkTheme
                                                             : Repository::LightTheme);
    if (theme.name() != highlighter->theme().name()) {
        highlighter->setTheme(theme);
        highlighter->rehighlight();
    }
    gutterBackground = QColor(theme.editorColor(Theme::IconBorder));
    lineNumberColour = QColor(theme.editorColor(Theme::LineNumbers));
    currentLineNumberColour = QColor(theme.editorColor(Theme::CurrentLineNumber));
    currentLineColour = QColor(theme.editorColor(Theme::CurrentLine));
    errorNumberColour = QColor(theme.editorColor(Theme::MarkError));
    errorLineColour = errorNumberColour;
    errorLineColour.setAlpha(80);
    updateLineMarks();
}

CodeEditor *createCodeEditor()
{
    auto *editor = new CodeEditor;
    editor->setMinimumWidth(320);
    editor->setFont(QFont(QStringLiteral("Courier"), 10));
    // Measured as the editor lays out its text: a font on its own is measured at the
    // application's default resolution, which need not be the editor's screen's.
    editor->setTabStopDistance(editor->fontMetrics().horizontalAdvance(QStringLiteral("    ")));
    return editor;
}

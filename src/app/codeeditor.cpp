#include "app/codeeditor.h"

#include "app/bracketmatcher.h"
#include "app/codehighlighter.h"
#include "app/findbar.h"

#include <KSyntaxHighlighting/Definition>
#include <KSyntaxHighlighting/Repository>
#include <KSyntaxHighlighting/Theme>

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QList>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPlainTextDocumentLayout>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFormat>
#include <QWheelEvent>

#include <algorithm>

namespace {

using KSyntaxHighlighting::Repository;
using KSyntaxHighlighting::Theme;

// Both editors use the same definitions and themes, loaded once.
Repository &syntaxRepository()
{
    static Repository repository;
    return repository;
}

// The text size that every code editor shows, and the editors that show it.
struct SharedTextSize
{
    int points = CodeEditor::startTextSize;
    QList<CodeEditor *> editors;
};

SharedTextSize &sharedTextSize()
{
    static SharedTextSize size;
    return size;
}

enum class TextSizeKey { None, Larger, Smaller, Start };

// Ctrl with + (Shift+= on many keyboards, or the keypad's), =, - or 0.
TextSizeKey textSizeKey(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (modifiers != Qt::ControlModifier)
        return TextSizeKey::None;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return TextSizeKey::Larger;
    case Qt::Key_Minus:
        return TextSizeKey::Smaller;
    case Qt::Key_0:
        return TextSizeKey::Start;
    default:
        return TextSizeKey::None;
    }
}

const QString indentLevel = QStringLiteral("    ");

bool isIndentation(QChar character)
{
    return character == QLatin1Char(' ') || character == QLatin1Char('\t');
}

QString leadingWhitespace(const QString &line)
{
    int length = 0;
    while (length < line.size() && isIndentation(line.at(length)))
        ++length;
    return line.left(length);
}

bool endsWithOpeningBrace(const QString &line)
{
    int last = line.size() - 1;
    while (last >= 0 && line.at(last).isSpace())
        --last;
    return last >= 0 && line.at(last) == QLatin1Char('{');
}

// The characters at the start of a line that make its first level of indentation: a tab, or up
// to four spaces.
int firstLevelLength(const QString &line)
{
    if (line.startsWith(QLatin1Char('\t')))
        return 1;
    int length = 0;
    while (length < indentLevel.size() && length < line.size() && line.at(length) == QLatin1Char(' '))
        ++length;
    return length;
}

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
    , highlighter(nullptr)
    , gutter(new LineNumberGutter(this))
    , findBar(new FindBar(this, this))
{
    sharedTextSize().editors.append(this);
    followDocument();
    applyTheme();
    findBar->setObjectName(QStringLiteral("findBar"));
    findBar->hide();
    bracketRefresh.setSingleShot(true);
    bracketRefresh.setInterval(50);

    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEditor::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, &CodeEditor::scrollGutter);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CodeEditor::updateMarks);
    connect(&bracketRefresh, &QTimer::timeout, this, &CodeEditor::updateMarks);
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
    // For the find bar, which keeps every key it is given: the editor takes these keys itself
    // (event()).
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus), &CodeEditor::enlargeText);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), &CodeEditor::enlargeText);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus), &CodeEditor::shrinkText);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), &CodeEditor::resetTextSize);

    updateTabStop();
    updateMargins();
    updateMarks();
}

CodeEditor::~CodeEditor()
{
    sharedTextSize().editors.removeOne(this);
}

QTextDocument *CodeEditor::createDocument(QObject *parent)
{
    auto *document = new QTextDocument(parent);
    document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    return document;
}

void CodeEditor::showDocument(QTextDocument *shown, int position)
{
    if (shown == document())
        return;
    disconnect(editCounting);
    highlighter->disconnect(this);
    // The font and the tab stop are the document's own settings.
    shown->setDefaultFont(font());
    setDocument(shown);
    followDocument();
    ++edits;
    errorBlock = -1;
    updateTabStop();
    updateMargins();
    QTextCursor cursor(shown);
    cursor.setPosition(qBound(0, position, shown->characterCount() - 1));
    setTextCursor(cursor);
    applyTheme();
    emit textChanged();
}

// A document keeps its highlighter, so that showing it again colours nothing anew.
void CodeEditor::followDocument()
{
    highlighter = document()->findChild<CodeHighlighter *>(QString(), Qt::FindDirectChildrenOnly);
    if (!highlighter) {
        highlighter = new CodeHighlighter(document());
        highlighter->setDefinition(
            syntaxRepository().definitionForName(QStringLiteral("JavaScript")));
    }
    connect(highlighter, &CodeHighlighter::blockHighlighted, this, &CodeEditor::noteHighlighted);
    editCounting = connect(document(), &QTextDocument::contentsChange, this,
                           [this](int, int removed, int added) {
                               if (removed || added) {
                                   ++edits;
                                   clearErrorLine();
                               }
                           });
}

int CodeEditor::textSize()
{
    return sharedTextSize().points;
}

void CodeEditor::setTextSize(int points)
{
    SharedTextSize &shared = sharedTextSize();
    shared.points = std::clamp(points, smallestTextSize, largestTextSize);
    for (CodeEditor *editor : qAsConst(shared.editors)) {
        QFont font = editor->font();
        if (font.pointSize() == shared.points)
            continue;
        font.setPointSize(shared.points);
        editor->setFont(font);
    }
}

void CodeEditor::enlargeText()
{
    setTextSize(textSize() + 1);
}

void CodeEditor::shrinkText()
{
    setTextSize(textSize() - 1);
}

void CodeEditor::resetTextSize()
{
    setTextSize(startTextSize);
}

// Measured as the editor lays out its text: a font on its own is measured at the application's
// default resolution, which need not be the editor's screen's.
void CodeEditor::updateTabStop()
{
    setTabStopDistance(fontMetrics().horizontalAdvance(indentLevel));
}

// Ahead of the window's shortcuts, so that the text size keys work in an editor whatever the
// window binds them to. The find bar's keys come by here too, on their way to the shortcuts.
bool CodeEditor::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && hasFocus()
        && textSizeKey(static_cast<QKeyEvent *>(event)) != TextSizeKey::None) {
        event->accept();
        return true;
    }
    return QPlainTextEdit::event(event);
}

void CodeEditor::keyPressEvent(QKeyEvent *event)
{
    switch (textSizeKey(event)) {
    case TextSizeKey::Larger:
        enlargeText();
        return;
    case TextSizeKey::Smaller:
        shrinkText();
        return;
    case TextSizeKey::Start:
        resetTextSize();
        return;
    case TextSizeKey::None:
        break;
    }
    if (!isReadOnly() && handleIndentationKey(event))
        return;
    QPlainTextEdit::keyPressEvent(event);
}

// Ctrl with the wheel steps the shared size too, rather than zooming this editor alone.
void CodeEditor::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QPlainTextEdit::wheelEvent(event);
        return;
    }
    wheelAngle += event->angleDelta().y();
    const int steps = wheelAngle / QWheelEvent::DefaultDeltasPerStep;
    wheelAngle -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps)
        setTextSize(textSize() + steps);
    event->accept();
}

bool CodeEditor::handleIndentationKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers != Qt::NoModifier)
            return false;
        insertIndentedLine();
        return true;
    case Qt::Key_Tab:
        if (modifiers != Qt::NoModifier || !selectionSpansLines())
            return false;
        indentLines(true);
        return true;
    case Qt::Key_Backtab:
        if ((modifiers & ~Qt::ShiftModifier) != Qt::NoModifier)
            return false;
        indentLines(false);
        return true;
    default:
        return event->text() == QLatin1String("}") && closeBraceOnBlankLine();
    }
}

bool CodeEditor::selectionSpansLines() const
{
    const QTextCursor cursor = textCursor();
    return document()->findBlock(cursor.selectionStart())
        != document()->findBlock(cursor.selectionEnd());
}

// The new line starts as indented as the text before the cursor, one level deeper after a {.
void CodeEditor::insertIndentedLine()
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QString before = cursor.block().text().left(cursor.positionInBlock());
    QString indentation = leadingWhitespace(before);
    if (endsWithOpeningBrace(before))
        indentation += indentLevel;
    cursor.insertBlock();
    cursor.insertText(indentation);
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

bool CodeEditor::closeBraceOnBlankLine()
{
    QTextCursor cursor = textCursor();
    const QString line = cursor.block().text();
    if (cursor.hasSelection() || line.isEmpty() || leadingWhitespace(line).size() != line.size())
        return false;
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::StartOfBlock);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(line.mid(firstLevelLength(line)) + QLatin1Char('}'));
    cursor.endEditBlock();
    setTextCursor(cursor);
    return true;
}

// Every line the selection touches, or the cursor's line; a selection that ends at the start of
// a line leaves that line alone. Empty lines gain no indentation, which would only trail.
void CodeEditor::indentLines(bool deeper)
{
    QTextCursor cursor = textCursor();
    const QTextBlock first = document()->findBlock(cursor.selectionStart());
    QTextBlock last = document()->findBlock(cursor.selectionEnd());
    if (last != first && cursor.selectionEnd() == last.position())
        last = last.previous();

    QTextCursor edit(document());
    edit.beginEditBlock();
    for (QTextBlock block = first;; block = block.next()) {
        edit.setPosition(block.position());
        if (deeper && block.length() > 1) {
            edit.insertText(indentLevel);
        } else if (!deeper) {
            edit.setPosition(block.position() + firstLevelLength(block.text()),
                             QTextCursor::KeepAnchor);
            edit.removeSelectedText();
        }
        if (block == last)
            break;
    }
    edit.endEditBlock();

    // Whole lines stay selected, so that the next Tab acts on the same ones.
    if (first != last) {
        cursor.setPosition(first.position());
        cursor.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
        setTextCursor(cursor);
    }
}

void CodeEditor::showErrorLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(line - 1);
    if (line < 1 || !block.isValid())
        return;
    setTextCursor(QTextCursor(block));
    centerCursor();
    errorBlock = block.blockNumber();
    updateMarks();
}

void CodeEditor::clearErrorLine()
{
    if (errorBlock < 0)
        return;
    errorBlock = -1;
    updateMarks();
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
    if (event->type() == QEvent::PaletteChange) {
        applyTheme();
    } else if (event->type() == QEvent::FontChange) {
        updateTabStop();
        updateMargins();
    }
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

void CodeEditor::updateMarks()
{
    bracketRefresh.stop();
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
    marks.append(bracketMarks());
    setExtraSelections(marks);
    gutter->update();
}

// The brackets on both sides of the cursor, each with its partner.
QList<QTextEdit::ExtraSelection> CodeEditor::bracketMarks() const
{
    QList<QTextEdit::ExtraSelection> marks;
    const BracketMatcher matcher(document());
    const int position = textCursor().position();
    int partnerBefore = -1;
    for (const int at : {position - 1, position}) {
        if (at < 0 || at == partnerBefore)
            continue;
        const BracketMatcher::Match match = matcher.match(at);
        if (match.outcome == BracketMatcher::Outcome::Paired) {
            marks.append(bracketMark(at, pairedBracketColour));
            marks.append(bracketMark(match.partner, pairedBracketColour));
            partnerBefore = match.partner;
        } else if (match.outcome == BracketMatcher::Outcome::Unpaired) {
            marks.append(bracketMark(at, unpairedBracketColour));
        }
    }
    return marks;
}

QTextEdit::ExtraSelection CodeEditor::bracketMark(int position, const QColor &colour) const
{
    QTextEdit::ExtraSelection mark;
    mark.format.setBackground(colour);
    mark.cursor = QTextCursor(document());
    mark.cursor.setPosition(position);
    mark.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    return mark;
}

// The cursor's line is highlighted as part of the edit, before the cursor moves.
void CodeEditor::noteHighlighted(const QTextBlock &block)
{
    if (block != textCursor().block())
        bracketRefresh.start();
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
    pairedBracketColour = QColor(theme.editorColor(Theme::BracketMatching));
    // Half see-through, as on the error line, but darker, so that it shows on that line too.
    unpairedBracketColour = errorNumberColour;
    unpairedBracketColour.setAlpha(160);
    updateMarks();
}

CodeEditor *createCodeEditor()
{
    auto *editor = new CodeEditor;
    editor->setMinimumWidth(320);
    // The tab stop follows the font (changeEvent()).
    editor->setFont(QFont(QStringLiteral("Courier"), CodeEditor::textSize()));
    return editor;
}

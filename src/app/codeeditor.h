#ifndef CODEEDITOR_H
#define CODEEDITOR_H

#include <QList>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

class CodeHighlighter;
class FindBar;
class QKeyEvent;
class QTextBlock;
class QTextDocument;
class QWheelEvent;
class QWidget;

// A plain-text editor for scripts: JavaScript highlighting in colours that suit the palette,
// line numbers in a gutter, the cursor's line marked, a find bar along its bottom edge, a mark
// on the line where a script error happened, indentation that follows the braces, the
// brackets at the cursor paired, and one text size shared by every code editor.
class CodeEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CodeEditor(QWidget *parent = nullptr);
    ~CodeEditor() override;

    // All code editors show their text at one size in points, which Ctrl+Plus (or Ctrl+=),
    // Ctrl+Minus and Ctrl+0 change from any of them.
    static constexpr int startTextSize = 10;
    static constexpr int smallestTextSize = 6;
    static constexpr int largestTextSize = 40;
    static int textSize();
    static void setTextSize(int points);

    // Shows the 1-based line with the cursor at its start and marks it until the next edit or
    // until clearErrorLine(). A line the text does not have marks nothing.
    void showErrorLine(int line);
    void clearErrorLine();
    int errorLine() const { return errorBlock + 1; }   // 0 when no line is marked
    // Counts the changes to the text, loads and documents shown included.
    int editCount() const { return edits; }

    // An empty document that showDocument() takes, owned by parent.
    static QTextDocument *createDocument(QObject *parent);
    // Shows document in place of the one shown, with its own text, undo history and colouring;
    // the editor does not take it over. The cursor goes to position.
    void showDocument(QTextDocument *document, int position = 0);

    int gutterWidth() const;
    void paintGutter(QWidget *gutter, const QRect &area);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void followDocument();
    bool handleIndentationKey(QKeyEvent *event);
    bool selectionSpansLines() const;
    void insertIndentedLine();
    bool closeBraceOnBlankLine();
    void indentLines(bool deeper);
    void enlargeText();
    void shrinkText();
    void resetTextSize();
    void updateTabStop();
    void setFindBarVisible(bool visible);
    void updateMargins();
    void placeSideWidgets();
    void scrollGutter(const QRect &area, int dy);
    void updateMarks();
    void noteHighlighted(const QTextBlock &block);
    QList<QTextEdit::ExtraSelection> bracketMarks() const;
    QTextEdit::ExtraSelection bracketMark(int position, const QColor &colour) const;
    void applyTheme();
    void openFindBar();
    void findNext();
    void findPrevious();

    CodeHighlighter *highlighter;   // of the document shown; each document has its own
    QMetaObject::Connection editCounting;
    QWidget *gutter;
    FindBar *findBar;
    // Lines that the highlighter coloured again after the edit that changed them can turn the
    // brackets at the cursor into text, or back.
    QTimer bracketRefresh;
    int errorBlock = -1;
    int edits = 0;
    int wheelAngle = 0; // turned, but short of a whole step
    QColor gutterBackground;
    QColor lineNumberColour;
    QColor currentLineNumberColour;
    QColor currentLineColour;
    QColor errorLineColour;
    QColor errorNumberColour;
    QColor pairedBracketColour;
    QColor unpairedBracketColour;
};

// A code editor set up as both of the window's editors are: fixed-pitch font at the shared text
// size, tabs four spaces wide.
CodeEditor *createCodeEditor();

#endif // CODEEDITOR_H

#ifndef CODEEDITOR_H
#define CODEEDITOR_H

#include <QPlainTextEdit>

class FindBar;
class QWidget;

namespace KSyntaxHighlighting {
class SyntaxHighlighter;
}

// A plain-text editor for scripts: JavaScript highlighting in colours that suit the palette,
// line numbers in a gutter, the cursor's line marked, a find bar along its bottom edge, and a
// mark on the line where a script error happened.
class CodeEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CodeEditor(QWidget *parent = nullptr);

    // Shows the 1-based line with the cursor at its start and marks it until the next edit or
    // until clearErrorLine(). A line the text does not have marks nothing.
    void showErrorLine(int line);
    void clearErrorLine();
    int errorLine() const { return errorBlock + 1; }   // 0 when no line is marked
    // Counts the changes to the text, loads included.
    int editCount() const { return edits; }

    int gutterWidth() const;
    void paintGutter(QWidget *gutter, const QRect &area);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setFindBarVisible(bool visible);
    void updateMargins();
    void placeSideWidgets();
    void scrollGutter(const QRect &area, int dy);
    void updateLineMarks();
    void applyTheme();
    void openFindBar();
    void findNext();
    void findPrevious();

    KSyntaxHighlighting::SyntaxHighlighter *highlighter;
    QWidget *gutter;
    FindBar *findBar;
    int errorBlock = -1;
    int edits = 0;
    QColor gutterBackground;
    QColor lineNumberColour;
    QColor currentLineNumberColour;
    QColor currentLineColour;
    QColor errorLineColour;
    QColor errorNumberColour;
};

// A code editor set up as both of the window's editors are: fixed-pitch font, tabs four spaces
// wide.
CodeEditor *createCodeEditor();

#endif // CODEEDITOR_H

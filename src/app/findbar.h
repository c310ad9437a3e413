#ifndef FINDBAR_H
#define FINDBAR_H

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

// A one-line search in an editor's text: Enter finds the next match, Shift+Enter the one
// before, both wrapping round the ends; typing moves the match along as the text grows.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QPlainTextEdit *editor, QWidget *parent = nullptr);

    // Takes a one-line selection of the editor as the text to find, and the focus.
    void start();
    bool findNext();
    bool findPrevious();
    QString text() const;

signals:
    void closeRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool find(bool backward, bool fromSelectionStart);
    void showFound(bool found);

    QPlainTextEdit *editor;
    QLineEdit *findText;
};

#endif // FINDBAR_H

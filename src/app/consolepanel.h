#ifndef CONSOLEPANEL_H
#define CONSOLEPANEL_H

#include "core/consoleline.h"

#include <QPlainTextEdit>

class QTextCursor;

// What the latest render printed, each line marked with where it came from, warnings and errors
// in their colours, and the failure that ended it.
class ConsolePanel : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit ConsolePanel(QWidget *parent = nullptr);

    // Starts over for a new render.
    void clearLines();
    void appendLines(const QVector<ConsoleLine> &lines);
    // A line that says how many more lines the render printed than are shown.
    void appendDropped(qint64 count);
    // How the render ended, when it failed: shown last, as an error.
    void appendFailure(const QString &text);
    // A note of the program's own, such as what an inspected pixel is.
    void appendNote(const QString &text);
    // A line of the program's own in the text's colour, such as an inspected pixel's values.
    void appendText(const QString &text);

    // "(12, 40)" for a pixel, "top level" for the scripts' top level.
    static QString originText(const ConsoleLine &line);

    // A few lines high: it opens under an editor, which keeps most of the room.
    QSize sizeHint() const override;

private:
    void appendColoured(const QString &origin, const QString &text, const QColor &colour);
    void insertColoured(QTextCursor *cursor, const QString &origin, const QString &text,
                        const QColor &colour);
    void showNewest();

    bool hasLines = false;
};

#endif // CONSOLEPANEL_H

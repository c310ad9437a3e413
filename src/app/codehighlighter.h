#ifndef CODEHIGHLIGHTER_H
#define CODEHIGHLIGHTER_H

#include <KSyntaxHighlighting/SyntaxHighlighter>

#include <QTextLayout>
#include <QVector>

class QTextBlock;
class QTextDocument;

// JavaScript highlighting for a code editor. It leaves lines too long to read uncoloured, and
// marks what it coloured as a string or a comment, so that the editor can tell the brackets of
// the code from those in text.
class CodeHighlighter : public KSyntaxHighlighting::SyntaxHighlighter
{
    Q_OBJECT

public:
    explicit CodeHighlighter(QTextDocument *document);

    // The parts of the block that its latest highlighting found to be strings or comments, in
    // the order they stand in. A line too long to colour has none.
    static QVector<QTextLayout::FormatRange> stringsAndComments(const QTextBlock &block);

    static constexpr int longestHighlightedLine = 10000;

signals:
    // The highlighting goes on through later lines after an edit changes how they begin (an
    // opened comment, say), some of it only once the event loop runs again.
    void blockHighlighted(const QTextBlock &block);

protected:
    void highlightBlock(const QString &text) override;
    void applyFormat(int offset, int length, const KSyntaxHighlighting::Format &format) override;
};

#endif // CODEHIGHLIGHTER_H

#include "app/bracketmatcher.h"

#include "app/codehighlighter.h"

#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <optional>

namespace {

QChar partnerOf(QChar bracket)
{
    switch (bracket.unicode()) {
    case '(': return QLatin1Char(')');
    case ')': return QLatin1Char('(');
    case '[': return QLatin1Char(']');
    case ']': return QLatin1Char('[');
    case '{': return QLatin1Char('}');
    case '}': return QLatin1Char('{');
    default: return QChar();
    }
}

bool isOpening(QChar bracket)
{
    return bracket == QLatin1Char('(') || bracket == QLatin1Char('[')
        || bracket == QLatin1Char('{');
}

// The strings and comments of one block, looked up as a scan passes through it.
class BlockText
{
public:
    explicit BlockText(const QTextBlock &textBlock)
        : start(textBlock.position())
        , stringsAndComments(CodeHighlighter::stringsAndComments(textBlock))
    {
    }

    bool isCode(int position) const
    {
        const int inBlock = position - start;
        const auto after = std::upper_bound(
            stringsAndComments.cbegin(), stringsAndComments.cend(), inBlock,
            [](int at, const QTextLayout::FormatRange &range) { return at < range.start; });
        if (after == stringsAndComments.cbegin())
            return true;
        const QTextLayout::FormatRange &range = *(after - 1);
        return inBlock >= range.start + range.length;
    }

private:
    int start;
    QVector<QTextLayout::FormatRange> stringsAndComments;
};

} // namespace

BracketMatcher::BracketMatcher(QTextDocument *searched, int limit)
    : document(searched)
    , scanLimit(limit)
{
}

BracketMatcher::Match BracketMatcher::match(int position) const
{
    const QChar character = document->characterAt(position);
    if (partnerOf(character).isNull() || !BlockText(document->findBlock(position)).isCode(position))
        return Match();
    return scan(position, isOpening(character));
}

// Reads the characters from the bracket on, one window of text, keeping the brackets still to
// be closed on a stack.
BracketMatcher::Match BracketMatcher::scan(int position, bool forward) const
{
    const int textEnd = document->characterCount() - 1;
    const int from = forward ? position + 1 : std::max(0, position - scanLimit);
    const int to = forward ? std::min(textEnd, position + 1 + scanLimit) : position;
    QTextCursor window(document);
    window.setPosition(from);
    window.setPosition(to, QTextCursor::KeepAnchor);
    const QString text = window.selectedText();

    QString awaited(partnerOf(document->characterAt(position)));
    QTextBlock block = document->findBlock(position);
    std::optional<BlockText> blockText;
    for (int i = 0; i < text.size(); ++i) {
        const int at = forward ? from + i : to - 1 - i;
        const QChar character = text.at(at - from);
        if (character == QChar::ParagraphSeparator) {
            block = forward ? block.next() : block.previous();
            blockText.reset();
            continue;
        }
        if (partnerOf(character).isNull())
            continue;
        if (!blockText)
            blockText.emplace(block);
        if (!blockText->isCode(at))
            continue;
        if (isOpening(character) == forward) {
            awaited.append(partnerOf(character));
            continue;
        }
        if (character != awaited.back())
            return {Outcome::Unpaired, -1};
        awaited.chop(1);
        if (awaited.isEmpty())
            return {Outcome::Paired, at};
    }
    const bool wholeText = forward ? to == textEnd : from == 0;
    return {wholeText ? Outcome::Unpaired : Outcome::TooFar, -1};
}

#include "app/codehighlighter.h"

#include <KSyntaxHighlighting/Format>
#include <KSyntaxHighlighting/Theme>

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextFormat>

#include <algorithm>

namespace {

using KSyntaxHighlighting::Theme;

const int stringOrCommentProperty = QTextFormat::UserProperty + 1;

bool isStringOrComment(Theme::TextStyle style)
{
    switch (style) {
    case Theme::Char:
    case Theme::SpecialChar:
    case Theme::String:
    case Theme::VerbatimString:
    case Theme::SpecialString:
    case Theme::Comment:
    case Theme::Documentation:
    case Theme::CommentVar:
    case Theme::RegionMarker:
    case Theme::Information:
    case Theme::Warning:
    case Theme::Alert:
        return true;
    default:
        return false;
    }
}

} // namespace

CodeHighlighter::CodeHighlighter(QTextDocument *document)
    : SyntaxHighlighter(document)
{
}

QVector<QTextLayout::FormatRange> CodeHighlighter::stringsAndComments(const QTextBlock &block)
{
    QVector<QTextLayout::FormatRange> found;
    const QTextLayout *layout = block.layout();
    if (!layout)
        return found;
    const QVector<QTextLayout::FormatRange> ranges = layout->formats();
    for (const QTextLayout::FormatRange &range : ranges) {
        if (range.format.boolProperty(stringOrCommentProperty))
            found.append(range);
    }
    std::sort(found.begin(), found.end(),
              [](const QTextLayout::FormatRange &a, const QTextLayout::FormatRange &b) {
                  return a.start < b.start;
              });
    return found;
}

// A line of many thousand characters is data or minified code rather than something to read,
// and colouring it would slow every layout of it.
void CodeHighlighter::highlightBlock(const QString &text)
{
    if (text.size() <= longestHighlightedLine)
        SyntaxHighlighter::highlightBlock(text);
    emit blockHighlighted(currentBlock());
}

void CodeHighlighter::applyFormat(int offset, int length, const KSyntaxHighlighting::Format &format)
{
    SyntaxHighlighter::applyFormat(offset, length, format);
    if (length <= 0 || !isStringOrComment(format.textStyle()))
        return;
    QTextCharFormat marked = QSyntaxHighlighter::format(offset);
    marked.setProperty(stringOrCommentProperty, true);
    setFormat(offset, length, marked);
}

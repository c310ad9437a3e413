#ifndef BRACKETMATCHER_H
#define BRACKETMATCHER_H

class QTextDocument;

// Finds the partner of a bracket in a script: ( ) [ ] { }, nested, leaving out those in strings
// and comments as the highlighter marked them. A search reads at most scanLimit characters, so
// a bracket in a line of millions of characters costs no more than one in a short script.
class BracketMatcher
{
public:
    enum class Outcome {
        NoBracket, // not a bracket, or one in a string or comment
        Paired,
        Unpaired, // no partner up to the end of the text, or brackets between that do not nest
        TooFar,   // no partner within the scan limit: unknown
    };
    struct Match
    {
        Outcome outcome = Outcome::NoBracket;
        int partner = -1;
    };

    static constexpr int defaultScanLimit = 100000;

    explicit BracketMatcher(QTextDocument *document, int scanLimit = defaultScanLimit);

    // The match for the character at the document position.
    Match match(int position) const;

private:
    Match scan(int position, bool forward) const;

    QTextDocument *document;
    int scanLimit;
};

#endif // BRACKETMATCHER_H

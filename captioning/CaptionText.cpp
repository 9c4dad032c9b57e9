#include "CaptionText.h"

#include <QRegularExpression>
#include <QStringList>

namespace sv {

const QSet<QString> &fillers()
{
    // A function-local static is initialised once even when two threads get
    // here together.
    static const QSet<QString> words{"the", "and", "you", "a",  "to",   "so",    "i",   "of", "it", "is",
                                     "in",  "uh",  "um",  "yeah", "okay", "hmm", "oh", "we", "he"};
    return words;
}

QString clean(const QString &text)
{
    // Whisper marks non-speech as "[Music]", "(laughs)", "♪ ... ♪". The
    // patterns stop at the first closing bracket, so of a nested span the
    // outer remainder stays; an unclosed bracket matches nothing.
    static const QRegularExpression bracketed(QStringLiteral("\\[[^\\]]*\\]"));
    static const QRegularExpression parenthesised(QStringLiteral("\\([^\\)]*\\)"));
    static const QRegularExpression notes(QStringLiteral("[\\x{266A}\\x{266B}]"));
    // Unicode-aware \s so that no-break and ideographic spaces collapse too.
    static const QRegularExpression whitespace(QStringLiteral("\\s+"),
                                               QRegularExpression::UseUnicodePropertiesOption);

    QString s = text;
    s.replace(bracketed, QStringLiteral(" "));
    s.replace(parenthesised, QStringLiteral(" "));
    s.replace(notes, QStringLiteral(" "));
    s.replace(whitespace, QStringLiteral(" "));
    s = s.trimmed();
    if (s.isEmpty())
        return {};

    const QStringList words = s.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &w : words) {
        if (!fillers().contains(w))
            return s;
    }
    return {};
}

} // namespace sv

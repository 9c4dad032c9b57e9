#pragma once

#include <QSet>
#include <QString>

namespace sv {

// Words that, on their own, are not worth a caption line: Whisper produces
// them from breath, clicks and room noise.
const QSet<QString> &fillers();

// Removes bracketed and parenthesised spans and note characters, collapses
// whitespace, trims, and returns the empty text when nothing but filler words
// is left. Letter case of what remains is kept. Thread-safe.
QString clean(const QString &text);

} // namespace sv

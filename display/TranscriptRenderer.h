#pragma once

#include "display/Theme.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextEdit>

class QTextCursor;
class QTextDocument;

namespace sv {

// Keeps one caption surface's text view in two zones of its QTextDocument:
// the committed lines (oldest first, one line feed between them, drawn in
// theme.fg at alpha 0.6) followed by the live tail (nothing, or the live text
// in theme.fg, on a line of its own when committed text precedes it).
//
// Positions and lengths count UTF-16 code units; a line break is one.
// Only the live tail is touched by live updates. After a commit the committed
// zone is cut back to at most maxChars, dropping whole oldest lines where a
// line break lies in the first trimSearchWindow characters of the excess.
// Each update follows the end of the text when the reader was within
// stickDistance pixels of it before the update, and leaves the scroll
// position alone otherwise.
//
// Setting theme or fontSize restyles nothing already shown: rebuild() does.
// When the text view has been destroyed, setLive, commit and rebuild do
// nothing and clear only resets the committed length. Main thread only;
// reports no errors.
class TranscriptRenderer {
public:
    static constexpr int maxChars = 12000;
    static constexpr int trimSearchWindow = 1000;
    static constexpr int stickDistance = 100;
    static constexpr double committedAlpha = 0.6;

    // The view is owned by its widget parent, not by the renderer. The
    // renderer turns the document's undo history off: nobody can undo in a
    // read-only view, and it would otherwise grow with every update.
    TranscriptRenderer(QTextEdit *textView, Theme theme, double fontSize);

    QTextEdit *textView() const { return m_textView; }

    const Theme &theme() const { return m_theme; }
    void setTheme(const Theme &theme) { m_theme = theme; }

    // In device-independent pixels, the unit of the surfaces' geometry.
    double fontSize() const { return m_fontSize; }
    void setFontSize(double fontSize) { m_fontSize = fontSize; }

    // Length of the committed zone at the start of the document.
    int committedLength() const { return m_committedLen; }

    // Replaces the live tail with text; empty text just removes it.
    void setLive(const QString &text);

    // Makes text the newest committed line and drops the live tail, then
    // trims. Empty text changes nothing, not even the live tail.
    void commit(const QString &text);

    // Replaces the whole text: history joined by line feeds as the committed
    // zone (not trimmed until the next commit), then current as the live tail.
    void rebuild(const QStringList &history, const QString &current);

    // Empties the view.
    void clear();

    // The character format of either zone, computed from the current theme
    // and fontSize: the system font, semibold; fg, at alpha 0.6 unless live.
    QTextCharFormat format(bool live) const;

private:
    QTextDocument *storage() const;
    int storageLength() const;
    bool nearEnd() const;
    void scrollToEnd();
    void removeLiveTail(QTextCursor &cursor);
    void appendLine(QTextCursor &cursor, const QString &text, bool live);
    void trim(QTextCursor &cursor);

    QPointer<QTextEdit> m_textView;
    Theme m_theme;
    double m_fontSize;
    int m_committedLen = 0;
};

} // namespace sv

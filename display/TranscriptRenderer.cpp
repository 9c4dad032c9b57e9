#include "TranscriptRenderer.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace sv {

TranscriptRenderer::TranscriptRenderer(QTextEdit *textView, Theme theme, double fontSize)
    : m_textView(textView)
    , m_theme(std::move(theme))
    , m_fontSize(fontSize)
{
    if (QTextDocument *doc = storage())
        doc->setUndoRedoEnabled(false);
}

QTextCharFormat TranscriptRenderer::format(bool live) const
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // A size that cannot be a font size keeps the system font's own.
    if (std::isfinite(m_fontSize) && m_fontSize >= 0.5)
        font.setPixelSize(std::max(1, int(std::lround(m_fontSize))));
    font.setWeight(QFont::DemiBold);

    QColor colour = m_theme.fg;
    if (!live)
        colour.setAlphaF(float(committedAlpha));

    QTextCharFormat format;
    format.setFont(font);
    format.setForeground(colour);
    return format;
}

QTextDocument *TranscriptRenderer::storage() const
{
    return m_textView ? m_textView->document() : nullptr;
}

int TranscriptRenderer::storageLength() const
{
    // characterCount() includes the paragraph end the document always holds.
    const QTextDocument *doc = storage();
    return doc ? doc->characterCount() - 1 : 0;
}

bool TranscriptRenderer::nearEnd() const
{
    const QScrollBar *bar = m_textView->verticalScrollBar();
    if (!bar)
        return true;
    return bar->maximum() - bar->value() < stickDistance;
}

void TranscriptRenderer::scrollToEnd()
{
    // The scroll bar, not the text cursor: moving the cursor would drop the
    // reader's selection in the main window.
    if (QScrollBar *bar = m_textView->verticalScrollBar())
        bar->setValue(bar->maximum());
}

void TranscriptRenderer::removeLiveTail(QTextCursor &cursor)
{
    // Nothing but this renderer edits the document, yet a committed length
    // past the end must not make the cursor warn and edit elsewhere.
    m_committedLen = std::min(m_committedLen, storageLength());
    if (storageLength() <= m_committedLen)
        return;
    cursor.setPosition(m_committedLen);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void TranscriptRenderer::appendLine(QTextCursor &cursor, const QString &text, bool live)
{
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_committedLen > 0 ? QLatin1Char('\n') + text : text, format(live));
}

void TranscriptRenderer::trim(QTextCursor &cursor)
{
    if (m_committedLen <= maxChars)
        return;
    QTextDocument *doc = cursor.document();
    const int excess = m_committedLen - maxChars;
    const int windowEnd = excess + std::min(storageLength() - excess, trimSearchWindow);

    // Each line break ends a block, so the first break at or after excess
    // ends the block that holds excess; the last block ends in none.
    int cut = excess;
    const QTextBlock block = doc->findBlock(excess);
    const int breakAt = block.position() + block.length() - 1;
    if (block.next().isValid() && breakAt < windowEnd)
        cut = breakAt + 1;
    else if (doc->characterAt(cut - 1).isHighSurrogate() && doc->characterAt(cut).isLowSurrogate())
        ++cut; // drop the whole pair rather than keep half of it

    cursor.setPosition(0);
    cursor.setPosition(cut, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_committedLen -= cut;
}

void TranscriptRenderer::setLive(const QString &text)
{
    if (!storage())
        return;
    const bool stick = nearEnd();
    QTextCursor cursor(storage());
    cursor.beginEditBlock();
    removeLiveTail(cursor);
    if (!text.isEmpty())
        appendLine(cursor, text, true);
    cursor.endEditBlock();
    if (stick)
        scrollToEnd();
}

void TranscriptRenderer::commit(const QString &text)
{
    if (!storage() || text.isEmpty())
        return;
    const bool stick = nearEnd();
    QTextCursor cursor(storage());
    cursor.beginEditBlock();
    removeLiveTail(cursor);
    appendLine(cursor, text, false);
    m_committedLen = storageLength();
    trim(cursor);
    cursor.endEditBlock();
    if (stick)
        scrollToEnd();
}

void TranscriptRenderer::rebuild(const QStringList &history, const QString &current)
{
    if (!storage())
        return;
    // Judged before the text is replaced: the new text may be taller (a
    // larger size, lines the view had trimmed), which would otherwise leave
    // a reader who was following the end stranded above it.
    const bool stick = nearEnd();
    QTextCursor cursor(storage());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    cursor.insertText(history.join(QLatin1Char('\n')), format(false));
    cursor.endEditBlock();
    m_committedLen = storageLength();
    setLive(current);
    if (stick)
        scrollToEnd();
}

void TranscriptRenderer::clear()
{
    if (QTextDocument *doc = storage()) {
        QTextCursor cursor(doc);
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
    }
    m_committedLen = 0;
}

} // namespace sv

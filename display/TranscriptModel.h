#pragma once

#include <QString>
#include <QStringList>

namespace sv {

// The transcript: committed lines, oldest first, never more than maxLines of
// them and none empty, and the live line (the latest live caption, or a
// status text). Plain value, used on the main thread.
struct TranscriptModel {
    static constexpr int maxLines = 500;

    QStringList history;
    QString current;

    // A caption text event. A final line joins the history when it is not
    // empty (the oldest lines go beyond maxLines) and empties the live line
    // either way; a live line replaces the live line.
    void applyText(const QString &text, bool isFinal)
    {
        if (!isFinal) {
            current = text;
            return;
        }
        if (!text.isEmpty()) {
            history.append(text);
            if (history.size() > maxLines)
                history.remove(0, history.size() - maxLines);
        }
        current.clear();
    }

    void clear()
    {
        history.clear();
        current.clear();
    }
};

} // namespace sv

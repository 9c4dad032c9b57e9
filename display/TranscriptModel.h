#pragma once

#include <QString>
#include <QStringList>

namespace sv {

// The transcript: committed lines, oldest first, at most maxLines of them,
// and the live line (the latest live caption, or a status text).
struct TranscriptModel {
    static constexpr int maxLines = 500;

    QStringList history;
    QString current;

    // A final line joins the history (the oldest is dropped beyond maxLines)
    // and empties the live line; a live line replaces it.
    void applyText(const QString &text, bool isFinal)
    {
        if (isFinal) {
            history.append(text);
            while (history.size() > maxLines)
                history.removeFirst();
            current.clear();
        } else {
            current = text;
        }
    }
};

} // namespace sv

#pragma once

#include "display/Theme.h"
#include "display/TranscriptModel.h"

#include <QString>

#include <vector>

namespace sv {

class TranscriptRenderer;

// Owns the transcript model and drives every caption surface's renderer
// with identical calls in the same order, so all surfaces hold the same
// text. The renderers belong to the caller and must outlive their use here;
// null entries (a surface not built yet) are skipped. Main thread only.
class TranscriptPresenter {
public:
    const TranscriptModel &model() const { return m_model; }

    // In call order: the main window's renderer, then the bar's.
    void setRenderers(std::vector<TranscriptRenderer *> renderers) { m_renderers = std::move(renderers); }

    // A caption text event: a final line is appended to the history (when
    // not empty, capped at TranscriptModel::maxLines) and committed in every
    // view, emptying the live line; a live line replaces it.
    void handleText(const QString &text, bool isFinal);

    // Shows text as the live line of every view (status texts, the start-up
    // placeholder). It never enters the history.
    void setLiveBoth(const QString &text);

    // Redraws every view from the model, in the renderers' current style.
    void rebuildBoth();

    // Empties the model and every view.
    void clearTranscript();

    // Give every renderer the theme, respectively the text size, then
    // rebuild every view so the text already shown takes it at once.
    void applyTheme(const Theme &theme);
    void applyFontSize(double fontSize);

private:
    TranscriptModel m_model;
    std::vector<TranscriptRenderer *> m_renderers;
};

} // namespace sv

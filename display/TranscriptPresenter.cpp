#include "TranscriptPresenter.h"

#include "display/TranscriptRenderer.h"

namespace sv {

void TranscriptPresenter::handleText(const QString &text, bool isFinal)
{
    m_model.applyText(text, isFinal);
    for (TranscriptRenderer *renderer : m_renderers) {
        if (!renderer)
            continue;
        if (isFinal)
            renderer->commit(text);
        else
            renderer->setLive(text);
    }
}

void TranscriptPresenter::setLiveBoth(const QString &text)
{
    m_model.current = text;
    for (TranscriptRenderer *renderer : m_renderers) {
        if (renderer)
            renderer->setLive(text);
    }
}

void TranscriptPresenter::rebuildBoth()
{
    for (TranscriptRenderer *renderer : m_renderers) {
        if (renderer)
            renderer->rebuild(m_model.history, m_model.current);
    }
}

void TranscriptPresenter::clearTranscript()
{
    m_model.clear();
    for (TranscriptRenderer *renderer : m_renderers) {
        if (renderer)
            renderer->clear();
    }
}

void TranscriptPresenter::applyTheme(const Theme &theme)
{
    for (TranscriptRenderer *renderer : m_renderers) {
        if (renderer)
            renderer->setTheme(theme);
    }
    rebuildBoth();
}

void TranscriptPresenter::applyFontSize(double fontSize)
{
    for (TranscriptRenderer *renderer : m_renderers) {
        if (renderer)
            renderer->setFontSize(fontSize);
    }
    rebuildBoth();
}

} // namespace sv

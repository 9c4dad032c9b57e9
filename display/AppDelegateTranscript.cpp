// The transcript as both surfaces show it.

#include "app/AppDelegate.h"

#include "display/TranscriptRenderer.h"

namespace sv {

void AppDelegate::handleText(const QString &text, bool isFinal)
{
    presenter.handleText(text, isFinal);
}

void AppDelegate::setLiveBoth(const QString &text)
{
    presenter.setLiveBoth(text);
}

void AppDelegate::rebuildBoth()
{
    presenter.rebuildBoth();
}

void AppDelegate::clearTranscript()
{
    presenter.clearTranscript();
}

} // namespace sv

#include "StatusText.h"

namespace sv {

std::optional<QString> statusLine(const WhisperCaptioner::Status &status, bool historyEmpty)
{
    using Kind = WhisperCaptioner::Status::Kind;
    switch (status.kind) {
    case Kind::Loading:
        return QStringLiteral("Preparing captions — downloading the language model (one time)…");
    case Kind::Listening:
        if (!historyEmpty)
            return std::nullopt;
        return QStringLiteral("Listening… speak in any language.");
    case Kind::Denied:
        return QStringLiteral("Allow Microphone access in System Settings › Privacy, then reopen.");
    case Kind::Error:
        return QStringLiteral("Caption error: ") + status.message;
    }
    return std::nullopt;
}

} // namespace sv

#pragma once

#include "captioning/WhisperCaptioner.h"

#include <QString>

#include <optional>

namespace sv {

inline const QString startupPlaceholder = QStringLiteral("Listening… speak and your words appear here.");
inline const QString resumedText = QStringLiteral("Listening…");
inline const QString pausedText = QStringLiteral("⏸ Paused — Resume from the menu to caption again.");
inline const QString pauseTitle = QStringLiteral("Pause listening");
inline const QString resumeTitle = QStringLiteral("Resume listening");
inline const QString mainWindowTitle = QStringLiteral("Sonivane — Captions");

// The live line shown for a captioner status, or none when the status leaves
// the live line as it is (listening, once the transcript holds a line).
std::optional<QString> statusLine(const WhisperCaptioner::Status &status, bool historyEmpty);

} // namespace sv

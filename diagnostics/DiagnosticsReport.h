#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace sv {

// The plain-text snapshot of the transcript and the recent sound alerts that
// the user saves to the Downloads folder. Building the text and the dialog
// texts is pure; saving touches the file system. Main thread (the data it
// reads belongs there), though nothing here depends on it.

// One raised alert: when it was shown and its text ("🔔 doorbell").
struct AlertLogEntry {
    QDateTime time;
    QString text;
};

inline const QString diagnosticsFileName = QStringLiteral("sonivane-mac-diagnostics.txt");

// The report: title, underline, every history line, the live line when it is
// not empty, then (only when the log holds entries) an empty line,
// "Recent sound alerts:" and "  • <text>" per entry, oldest first. Entry
// times are not printed and the report has no date of its own. Lines end
// with a line feed, the last one included.
QString diagnosticsReport(const QStringList &history, const QString &current, const QList<AlertLogEntry> &alertLog);

// The user's Downloads folder, or empty when the platform names none.
QString downloadsFolder();

struct DiagnosticsSaveResult {
    bool ok = false;
    QString path;   // the file written, or the one that could not be
    QString reason; // why it failed; empty on success
};

// Writes `report` as UTF-8 to diagnosticsFileName in `folder`, creating the
// folder when it is missing. The file is replaced atomically: it holds either
// the earlier report or the whole new one. On failure nothing is replaced and
// the result says why; no exception escapes.
DiagnosticsSaveResult saveDiagnostics(const QString &report, const QString &folder);

// The confirmation to show after a save: "Saved diagnostics" on success,
// "Could not save diagnostics" with the reason on failure.
struct DiagnosticsConfirmation {
    QString title;
    QString text;
};
DiagnosticsConfirmation diagnosticsConfirmation(const DiagnosticsSaveResult &result);

} // namespace sv

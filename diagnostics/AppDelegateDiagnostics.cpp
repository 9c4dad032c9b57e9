// "Save diagnostics to Downloads": the transcript and the recent alerts,
// written in one piece, then a confirmation that tells the truth.

#include "app/AppDelegate.h"

#include "diagnostics/DiagnosticsReport.h"
#include "display/CaptionWindows.h"

#include <QMessageBox>

namespace sv {

void AppDelegate::saveDiagnostics()
{
    QList<AlertLogEntry> alerts;
    for (const AlertLog::Entry &e : alertLog.entries())
        alerts.append({e.time, e.text});
    const QString report = diagnosticsReport(presenter.model().history, presenter.model().current, alerts);
    const DiagnosticsSaveResult result = sv::saveDiagnostics(report, m_services.downloadsFolder);
    m_lastDiagnostics = result.ok ? result.path : QString();
    const DiagnosticsConfirmation confirmation = diagnosticsConfirmation(result);
    auto *box = new QMessageBox(result.ok ? QMessageBox::Information : QMessageBox::Warning, confirmation.title,
                                confirmation.text, QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("diagnosticsConfirmation"));
    box->open();
}

} // namespace sv

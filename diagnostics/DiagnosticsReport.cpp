#include "DiagnosticsReport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace sv {

namespace {

// QDir::mkpath gives no reason; the usual one is a file standing where the
// folder or one of its parents should be.
QString whyNoFolder(const QString &folder)
{
    QFileInfo info(folder);
    while (!info.exists() && !info.isRoot()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            break;
        info = QFileInfo(parent);
    }
    if (info.exists() && !info.isDir())
        return QDir::toNativeSeparators(info.absoluteFilePath()) + QStringLiteral(" is not a folder");
    return QStringLiteral("the folder ") + QDir::toNativeSeparators(folder) + QStringLiteral(" could not be created");
}

} // namespace

QString diagnosticsReport(const QStringList &history, const QString &current, const QList<AlertLogEntry> &alertLog)
{
    QStringList lines{QStringLiteral("Sonivane for Mac — captions transcript"), QString(38, QLatin1Char('='))};
    lines += history;
    if (!current.isEmpty())
        lines.append(current);
    if (!alertLog.isEmpty()) {
        lines.append(QString());
        lines.append(QStringLiteral("Recent sound alerts:"));
        for (const AlertLogEntry &entry : alertLog)
            lines.append(QStringLiteral("  • ") + entry.text);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString downloadsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

DiagnosticsSaveResult saveDiagnostics(const QString &report, const QString &folder)
{
    DiagnosticsSaveResult result;
    if (folder.isEmpty()) {
        result.reason = QStringLiteral("the system names no Downloads folder");
        return result;
    }
    result.path = QDir(folder).filePath(diagnosticsFileName);

    // A fresh home may have no Downloads folder yet.
    if (!QDir().mkpath(folder)) {
        result.reason = whyNoFolder(folder);
        return result;
    }

    QSaveFile file(result.path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.reason = file.errorString();
        return result;
    }
    const QByteArray bytes = report.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        result.reason = file.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.reason = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

DiagnosticsConfirmation diagnosticsConfirmation(const DiagnosticsSaveResult &result)
{
    if (result.ok)
        return {QStringLiteral("Saved diagnostics"),
                QStringLiteral("Wrote the transcript to Downloads/") + diagnosticsFileName + QLatin1Char('.')};
    const QString target = result.path.isEmpty() ? diagnosticsFileName : QDir::toNativeSeparators(result.path);
    QString text = QStringLiteral("The transcript was not written to ") + target + QStringLiteral(": ") + result.reason;
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return {QStringLiteral("Could not save diagnostics"), text};
}

} // namespace sv

#include "DebugLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>

namespace sv {

namespace {
std::mutex &writeMutex()
{
    static std::mutex m;
    return m;
}
} // namespace

DebugLog::DebugLog(QString path)
    : m_path(std::move(path))
{
}

QString DebugLog::defaultPath()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty())
        return {};
    return QDir(downloads).filePath(QStringLiteral("sv-whisper-debug.log"));
}

QString DebugLog::timestamp()
{
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

void DebugLog::write(const QString &message) const
{
    if (m_path.isEmpty())
        return;
    const QByteArray line = (timestamp() + QLatin1Char(' ') + message + QLatin1Char('\n')).toUtf8();

    std::lock_guard guard(writeMutex());
    // A fresh home may have no Downloads folder yet; the log is worth creating it.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(line);
    file.close();
}

} // namespace sv

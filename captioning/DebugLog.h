#pragma once

#include <QString>

namespace sv {

// Append-only trace of the captioner's start-up milestones, one line per call:
// "<yyyy-MM-dd HH:mm:ss> +0000 <message>\n" in UTC. Every call opens, appends
// and closes the file; failures are dropped. Calls from several threads are
// serialised, so lines never interleave.
class DebugLog {
public:
    // An empty path disables the log.
    explicit DebugLog(QString path);

    // "sv-whisper-debug.log" in the user's Downloads folder, or empty when
    // the platform names no Downloads folder.
    static QString defaultPath();
    static QString timestamp();

    void write(const QString &message) const;
    const QString &path() const { return m_path; }

private:
    QString m_path;
};

} // namespace sv

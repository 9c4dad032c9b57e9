#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace sv {

// The alerts of the last ten minutes, oldest first, in memory only. Entries
// are pruned only when a new one is added, so the log never loses the alert
// that just happened.
class AlertLog {
public:
    struct Entry {
        QDateTime time;
        QString text; // mark, one blank, label
    };

    static constexpr qint64 maxAgeSeconds = 600;

    static QString mark(bool high) { return high ? QStringLiteral("\U0001F6A8") : QStringLiteral("\U0001F514"); }

    // Adds "<mark> <label>" at `now` and drops entries more than 600 s older.
    void add(const QString &label, bool high, const QDateTime &now)
    {
        m_entries.append({now, mark(high) + QLatin1Char(' ') + label});
        m_entries.removeIf([&](const Entry &e) { return e.time.secsTo(now) > maxAgeSeconds; });
    }
    const QList<Entry> &entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
};

} // namespace sv

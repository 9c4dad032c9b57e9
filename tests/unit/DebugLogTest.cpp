#include "captioning/DebugLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using sv::DebugLog;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(DebugLog, CreatesThenAppendsExactLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Downloads/sv-whisper-debug.log");
    DebugLog log(path);
    log.write("first ünïcode");
    const QByteArray one = contents(path);
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000 first ünïcode\n$)")
                    .match(QString::fromUtf8(one))
                    .hasMatch())
        << one.toStdString();
    log.write("second");
    const QByteArray two = contents(path);
    EXPECT_TRUE(two.startsWith(one));
    EXPECT_TRUE(two.endsWith(" +0000 second\n"));
}

TEST(DebugLog, ConcurrentWritersNeverInterleave)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sv-whisper-debug.log");
    DebugLog log(path);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                log.write(QString("writer %1 line %2 ").arg(t).arg(i) + QString(200, 'x'));
        });
    for (auto &w : writers)
        w.join();
    const QStringList lines = QString::fromUtf8(contents(path)).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 200);
    const QRegularExpression form(R"(^\S+ \S+ \+0000 writer \d line \d+ x{200}$)");
    for (const QString &l : lines)
        EXPECT_TRUE(form.match(l).hasMatch()) << l.toStdString();
}

TEST(DebugLog, UnwritablePathIsDroppedQuietly)
{
    DebugLog("/proc/sv-nope/sv-whisper-debug.log").write("x");
    DebugLog("").write("x");
}

} // namespace

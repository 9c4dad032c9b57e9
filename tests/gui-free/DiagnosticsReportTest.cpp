#include "diagnostics/DiagnosticsReport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sv;

namespace {

const QString header = QStringLiteral("Sonivane for Mac — captions transcript\n======================================\n");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(DiagnosticsReport, Text)
{
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    const QList<AlertLogEntry> alerts{{t0, QStringLiteral("🔔 doorbell")}, {t0.addSecs(30), QStringLiteral("🚨 alarm")}};
    struct Case {
        const char *name;
        QStringList history;
        QString current;
        QList<AlertLogEntry> alerts;
        QString expected;
    } cases[] = {
        {"empty", {}, {}, {}, header},
        {"history and live line", {"first line", "second line"}, "live wörds", {},
         header + "first line\nsecond line\nlive wörds\n"},
        {"a status text is the live line", {}, "Caption error: boom", {}, header + "Caption error: boom\n"},
        {"cleared transcript with alerts", {}, {}, alerts,
         header + "\nRecent sound alerts:\n  • 🔔 doorbell\n  • 🚨 alarm\n"},
        {"everything", {"hello"}, "there", {alerts[1]}, header + "hello\nthere\n\nRecent sound alerts:\n  • 🚨 alarm\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(diagnosticsReport(c.history, c.current, c.alerts), c.expected);
    }
    // The underline is exactly 38 equals signs.
    EXPECT_EQ(diagnosticsReport({}, {}, {}).split('\n').at(1), QString(38, '='));
}

TEST(DiagnosticsReport, SaveReplacesTheFileAtomically)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // The folder does not exist yet: the save creates it.
    const QString folder = home.filePath("Downloads");

    const QString first = diagnosticsReport({"one"}, {}, {});
    const auto r1 = saveDiagnostics(first, folder);
    ASSERT_TRUE(r1.ok) << r1.reason.toStdString();
    EXPECT_EQ(r1.path, QDir(folder).filePath("sonivane-mac-diagnostics.txt"));
    EXPECT_TRUE(r1.reason.isEmpty());

    const QString second = diagnosticsReport({"zwei", "drei"}, "vier €", {});
    const auto r2 = saveDiagnostics(second, folder);
    ASSERT_TRUE(r2.ok) << r2.reason.toStdString();
    EXPECT_EQ(readAll(r2.path), second.toUtf8());
    // No temporary file is left behind.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"sonivane-mac-diagnostics.txt"}));

    const auto confirmation = diagnosticsConfirmation(r2);
    EXPECT_EQ(confirmation.title, "Saved diagnostics");
    EXPECT_EQ(confirmation.text, "Wrote the transcript to Downloads/sonivane-mac-diagnostics.txt.");
}

TEST(DiagnosticsReport, FailedSaveIsReportedWithItsReason)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    writeFile(home.filePath("plainfile"), "not a folder");
    // The report's own name taken by a folder: the file cannot be replaced.
    ASSERT_TRUE(QDir(home.path()).mkpath("taken/sonivane-mac-diagnostics.txt"));

    struct Case {
        const char *name;
        QString folder;
        QString reasonHas;
    } cases[] = {
        {"Downloads under a regular file", home.filePath("plainfile/Downloads"), "plainfile is not a folder"},
        {"Downloads is a regular file", home.filePath("plainfile"), "plainfile is not a folder"},
        {"report name taken by a folder", home.filePath("taken"), ""},
        {"no Downloads folder", QString(), "no Downloads folder"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = saveDiagnostics(diagnosticsReport({"line"}, {}, {}), c.folder);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_TRUE(result.reason.contains(c.reasonHas)) << result.reason.toStdString();

        const auto confirmation = diagnosticsConfirmation(result);
        EXPECT_EQ(confirmation.title, "Could not save diagnostics");
        EXPECT_TRUE(confirmation.text.contains(result.reason)) << confirmation.text.toStdString();
        EXPECT_FALSE(confirmation.text.contains("Wrote the transcript"));
    }
    EXPECT_EQ(readAll(home.filePath("plainfile")), "not a folder");
    EXPECT_TRUE(QFileInfo(home.filePath("taken/sonivane-mac-diagnostics.txt")).isDir());
}

#pragma once

// What the X server itself says about a window, read with xwininfo and
// xprop, so the tests see what a window manager and the user see.

#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QString>

namespace sv::test {

inline QString runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The window's outer geometry in root coordinates.
inline QRect xGeometry(quintptr window)
{
    const QString out = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    auto number = [&](const char *label) {
        const auto m = QRegularExpression(QString::fromLatin1(label) + QStringLiteral(":\\s+(-?\\d+)")).match(out);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    return QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height"));
}

inline QString xProperty(quintptr window, const QString &name)
{
    return runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), name}).trimmed();
}

} // namespace sv::test

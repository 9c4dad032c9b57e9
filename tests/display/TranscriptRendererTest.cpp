// The renderer's two zones, its trim and its scrolling, on real text views
// (offscreen platform, see GuiTestMain.cpp).
#include "display/Theme.h"
#include "display/TranscriptPresenter.h"
#include "display/TranscriptRenderer.h"

#include <QApplication>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using sv::TranscriptRenderer;

QString text(const TranscriptRenderer &r)
{
    return r.textView()->document()->toPlainText();
}

// Format of the character at pos (the cursor reports the one before it).
QTextCharFormat formatAt(const TranscriptRenderer &r, int pos)
{
    QTextCursor cursor(r.textView()->document());
    cursor.setPosition(pos + 1);
    return cursor.charFormat();
}

QColor colourAt(const TranscriptRenderer &r, int pos)
{
    return formatAt(r, pos).foreground().color();
}

class RendererTest : public ::testing::Test {
protected:
    sv::Theme theme = sv::builtInThemes()[3]; // cyan on black
    QTextEdit view;
    TranscriptRenderer renderer{&view, theme, 30};
};

TEST_F(RendererTest, LiveTextStandsAloneOnAnEmptyViewAndOnItsOwnLineAfterCommitted)
{
    renderer.setLive(QStringLiteral("hello"));
    EXPECT_EQ(text(renderer), QStringLiteral("hello"));
    EXPECT_EQ(renderer.committedLength(), 0);

    renderer.commit(QStringLiteral("hello world"));
    EXPECT_EQ(text(renderer), QStringLiteral("hello world"));
    EXPECT_EQ(renderer.committedLength(), 11);

    renderer.setLive(QStringLiteral("next"));
    EXPECT_EQ(text(renderer), QStringLiteral("hello world\nnext"));
    EXPECT_EQ(renderer.committedLength(), 11);

    renderer.setLive(QString());
    EXPECT_EQ(text(renderer), QStringLiteral("hello world"));
}

TEST_F(RendererTest, CommittedTextIsDimmedAndLiveTextInFullColour)
{
    renderer.commit(QStringLiteral("old"));
    renderer.setLive(QStringLiteral("new"));

    const QColor committed = colourAt(renderer, 0);
    EXPECT_EQ(committed.rgb(), theme.fg.rgb());
    EXPECT_NEAR(committed.alphaF(), 0.6, 1e-3);
    const QColor live = colourAt(renderer, 4);
    EXPECT_EQ(live.rgb(), theme.fg.rgb());
    EXPECT_EQ(live.alpha(), 255);

    for (int pos : {0, 4}) {
        const QFont font = formatAt(renderer, pos).font();
        EXPECT_EQ(font.pixelSize(), 30);
        EXPECT_EQ(font.weight(), QFont::DemiBold);
    }
    // Committing takes the live tail away and draws the line dimmed.
    renderer.commit(QStringLiteral("newer"));
    EXPECT_EQ(text(renderer), QStringLiteral("old\nnewer"));
    EXPECT_NEAR(colourAt(renderer, 4).alphaF(), 0.6, 1e-3);
}

TEST_F(RendererTest, LiveUpdatesNeverTouchTheCommittedZone)
{
    renderer.commit(QStringLiteral("first line"));
    renderer.commit(QStringLiteral("second line"));
    const int committed = renderer.committedLength();
    std::vector<int> changedFrom;
    QObject::connect(view.document(), &QTextDocument::contentsChange,
                     [&](int position, int, int) { changedFrom.push_back(position); });

    renderer.setLive(QStringLiteral("live one"));
    renderer.setLive(QStringLiteral("live two, longer"));
    renderer.setLive(QString());
    renderer.setLive(QStringLiteral("x"));

    ASSERT_FALSE(changedFrom.empty());
    for (int from : changedFrom)
        EXPECT_GE(from, committed);
    EXPECT_EQ(text(renderer), QStringLiteral("first line\nsecond line\nx"));
    EXPECT_EQ(renderer.committedLength(), committed);
}

TEST_F(RendererTest, AnEmptyCommitLeavesEvenTheLiveTail)
{
    renderer.commit(QStringLiteral("kept"));
    renderer.setLive(QStringLiteral("still live"));
    renderer.commit(QString());
    EXPECT_EQ(text(renderer), QStringLiteral("kept\nstill live"));
    EXPECT_EQ(renderer.committedLength(), 4);
}

TEST_F(RendererTest, StyleChangesApplyFromTheNextRebuild)
{
    renderer.commit(QStringLiteral("line"));
    const sv::Theme blackOnWhite = sv::builtInThemes()[2];
    renderer.setTheme(blackOnWhite);
    renderer.setFontSize(52);
    EXPECT_EQ(colourAt(renderer, 0).rgb(), theme.fg.rgb());

    renderer.rebuild({QStringLiteral("line")}, QStringLiteral("live"));
    EXPECT_EQ(colourAt(renderer, 0).rgb(), blackOnWhite.fg.rgb());
    EXPECT_NEAR(colourAt(renderer, 0).alphaF(), 0.6, 1e-3);
    EXPECT_EQ(colourAt(renderer, 5), blackOnWhite.fg);
    EXPECT_EQ(formatAt(renderer, 5).font().pixelSize(), 52);
}

TEST_F(RendererTest, RebuildShowsTheModelInBothZones)
{
    renderer.rebuild({}, QStringLiteral("status"));
    EXPECT_EQ(text(renderer), QStringLiteral("status"));
    EXPECT_EQ(renderer.committedLength(), 0);

    renderer.rebuild({QStringLiteral("a"), QStringLiteral("b")}, QString());
    EXPECT_EQ(text(renderer), QStringLiteral("a\nb"));
    EXPECT_EQ(renderer.committedLength(), 3);

    renderer.rebuild({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("c"));
    EXPECT_EQ(text(renderer), QStringLiteral("a\nb\nc"));
    EXPECT_EQ(renderer.committedLength(), 3);
    EXPECT_EQ(colourAt(renderer, 4).alpha(), 255);

    renderer.rebuild({}, QString());
    EXPECT_EQ(text(renderer), QString());
    EXPECT_EQ(renderer.committedLength(), 0);
}

TEST_F(RendererTest, RebuildRestoresTrimmedLinesUntilTheNextCommit)
{
    QStringList history;
    for (int i = 0; i < 500; ++i)
        history << QStringLiteral("%1 ").arg(i, 3, 10, QLatin1Char('0')) + QString(96, QLatin1Char('x'));
    for (const QString &line : history)
        renderer.commit(line);
    EXPECT_LE(renderer.committedLength(), TranscriptRenderer::maxChars);

    renderer.rebuild(history, QString());
    EXPECT_EQ(renderer.committedLength(), 500 * 100 + 499);
    EXPECT_TRUE(text(renderer).startsWith(QStringLiteral("000 ")));

    renderer.commit(QStringLiteral("one more"));
    EXPECT_LE(renderer.committedLength(), TranscriptRenderer::maxChars);
    EXPECT_GE(renderer.committedLength(), TranscriptRenderer::maxChars - TranscriptRenderer::trimSearchWindow);
    EXPECT_TRUE(text(renderer).endsWith(QStringLiteral("\none more")));
}

TEST_F(RendererTest, ClearEmptiesTheView)
{
    renderer.commit(QStringLiteral("gone"));
    renderer.setLive(QStringLiteral("also gone"));
    renderer.clear();
    EXPECT_EQ(text(renderer), QString());
    EXPECT_EQ(renderer.committedLength(), 0);
    renderer.setLive(QStringLiteral("fresh"));
    EXPECT_EQ(text(renderer), QStringLiteral("fresh"));
}

TEST(RendererWithoutViewTest, DoesNothingOnceTheViewIsGone)
{
    auto view = std::make_unique<QTextEdit>();
    TranscriptRenderer renderer(view.get(), sv::builtInThemes()[0], 30);
    renderer.commit(QStringLiteral("line"));
    view.reset();

    renderer.setLive(QStringLiteral("live"));
    renderer.commit(QStringLiteral("more"));
    renderer.rebuild({QStringLiteral("a")}, QStringLiteral("b"));
    EXPECT_EQ(renderer.committedLength(), 4);
    renderer.clear();
    EXPECT_EQ(renderer.committedLength(), 0);
}

// Trim cases. The view first holds, untrimmed through a rebuild, a first
// line of firstLine characters and a filler line; the commit of a last line
// brings the committed zone to total characters. The filler line is long
// enough that its own line break lies beyond every search window.
struct TrimCase {
    const char *label;
    int firstLine;
    int total;
    int remaining;
};

void PrintTo(const TrimCase &c, std::ostream *os)
{
    *os << c.label;
}

class TrimTableTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimTableTest, DropsWholeOldestLinesInsideTheWindowElseCutsAtExcess)
{
    const TrimCase &c = GetParam();
    QTextEdit view;
    TranscriptRenderer renderer(&view, sv::builtInThemes()[1], 30);
    const int lastLine = 3000;
    const int filler = c.total - c.firstLine - 1 - 1 - lastLine;
    const QStringList history{QString(c.firstLine, QLatin1Char('a')), QString(filler, QLatin1Char('b'))};
    const QString last(lastLine, QLatin1Char('c'));
    const QString full = history.join(QLatin1Char('\n')) + QLatin1Char('\n') + last;
    ASSERT_EQ(full.size(), c.total);

    renderer.rebuild(history, QString());
    renderer.commit(last);

    EXPECT_EQ(renderer.committedLength(), c.remaining);
    EXPECT_EQ(text(renderer), full.right(c.remaining));
}

INSTANTIATE_TEST_SUITE_P(
    Table, TrimTableTest,
    ::testing::Values(
        // Excess 50, first line break of the window at 80: 81 characters go.
        TrimCase{"break_inside_window", 80, 12050, 11969},
        // A line break exactly at excess goes with everything before it.
        TrimCase{"break_at_excess", 50, 12050, 11999},
        // The window's last position (excess + 999) still counts ...
        TrimCase{"break_at_window_end", 1049, 12050, 11000},
        // ... the next one does not: the cut falls mid-line at excess.
        TrimCase{"break_past_window", 1050, 12050, 12000},
        // A break before excess is not in the window either.
        TrimCase{"break_before_excess", 10, 12050, 12000},
        // At the limit nothing is trimmed.
        TrimCase{"at_limit", 80, 12000, 12000}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(TrimTest, OneLineLongerThanTheLimitKeepsItsNewestPart)
{
    QTextEdit view;
    TranscriptRenderer renderer(&view, sv::builtInThemes()[1], 30);
    QString line;
    for (int i = 0; i < 13000; ++i)
        line += QChar(QLatin1Char('a' + i % 26));
    renderer.commit(line);
    EXPECT_EQ(renderer.committedLength(), 12000);
    EXPECT_EQ(text(renderer), line.right(12000));
}

// A mid-line cut at excess never keeps half of a surrogate pair: when the
// pair straddles excess, it goes whole.
TEST(TrimTest, ACutAtExcessKeepsSurrogatePairsWhole)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // two UTF-16 units
    ASSERT_EQ(emoji.size(), 2);
    struct Case {
        int pairAt;
        int remaining;
    };
    // Excess is 50: a pair at 49..50 straddles the cut; at 50..51 and 48..49 it does not.
    for (const Case c : {Case{49, 11999}, Case{50, 12000}, Case{48, 12000}}) {
        SCOPED_TRACE(c.pairAt);
        QTextEdit view;
        TranscriptRenderer renderer(&view, sv::builtInThemes()[1], 30);
        QString first(1100, QLatin1Char('a'));
        first.replace(c.pairAt, 2, emoji);
        const QStringList history{first, QString(7948, QLatin1Char('b'))};
        const QString last(3000, QLatin1Char('c'));
        const QString full = history.join(QLatin1Char('\n')) + QLatin1Char('\n') + last;
        ASSERT_EQ(full.size(), 12050);

        renderer.rebuild(history, QString());
        renderer.commit(last);

        EXPECT_EQ(renderer.committedLength(), c.remaining);
        const QString kept = text(renderer);
        EXPECT_EQ(kept, full.right(c.remaining));
        EXPECT_FALSE(kept.at(0).isLowSurrogate());
    }
}

// Scrolling: a shown view small enough for the text to overflow it.
class StickTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.resize(400, 200);
        view.show();
        QApplication::processEvents();
        for (int i = 0; i < 60; ++i)
            renderer.commit(QStringLiteral("committed line %1").arg(i));
        ASSERT_GT(bar()->maximum(), 300);
        ASSERT_EQ(bar()->value(), bar()->maximum());
    }

    QScrollBar *bar() { return view.verticalScrollBar(); }

    QTextEdit view;
    TranscriptRenderer renderer{&view, sv::builtInThemes()[1], 22};
};

TEST_F(StickTest, AReaderNearTheEndFollowsItOthersStayWhereTheyAre)
{
    struct Case {
        int distance;
        bool follows;
    };
    const std::function<void(int)> updates[] = {
        [&](int i) { renderer.setLive(QStringLiteral("live %1").arg(i)); },
        [&](int i) { renderer.commit(QStringLiteral("final %1").arg(i)); },
        [&](int) { renderer.setLive(QString()); },
    };
    int i = 0;
    for (const auto &update : updates) {
        for (const Case c : {Case{0, true}, Case{99, true}, Case{100, false}, Case{250, false}}) {
            SCOPED_TRACE(testing::Message() << "update " << i << " distance " << c.distance);
            renderer.setLive(QStringLiteral("a live line\nover two lines"));
            bar()->setValue(bar()->maximum() - c.distance);
            const int before = bar()->value();
            update(++i);
            if (c.follows)
                EXPECT_EQ(bar()->value(), bar()->maximum());
            else
                EXPECT_EQ(bar()->value(), before);
        }
        ++i;
    }
}

TEST_F(StickTest, TrimmingKeepsAFollowingReaderAtTheEnd)
{
    for (int i = 0; i < 400; ++i)
        renderer.commit(QStringLiteral("a longer committed line to fill the view quickly %1").arg(i));
    EXPECT_LE(renderer.committedLength(), TranscriptRenderer::maxChars);
    EXPECT_EQ(bar()->value(), bar()->maximum());
}

TEST_F(StickTest, ARebuildToLargerTextKeepsAFollowingReaderAtTheEnd)
{
    QStringList history;
    for (int i = 0; i < 60; ++i)
        history << QStringLiteral("committed line %1").arg(i);
    renderer.setFontSize(52);
    renderer.rebuild(history, QStringLiteral("live"));
    EXPECT_EQ(bar()->value(), bar()->maximum());

    bar()->setValue(0);
    renderer.setFontSize(22);
    renderer.rebuild(history, QStringLiteral("live"));
    EXPECT_EQ(bar()->value(), 0);
}

// Two surfaces driven through the presenter hold the same text.
class PresenterTest : public ::testing::Test {
protected:
    // A surface not built yet sits between the two and is skipped.
    void SetUp() override { presenter.setRenderers({&win, nullptr, &bar}); }

    void expectBoth(const QString &expected)
    {
        EXPECT_EQ(text(win), expected);
        EXPECT_EQ(text(bar), expected);
    }

    QTextEdit winView;
    QTextEdit barView;
    TranscriptRenderer win{&winView, sv::builtInThemes()[1], 30};
    TranscriptRenderer bar{&barView, sv::builtInThemes()[1], 30};
    sv::TranscriptPresenter presenter;
    const sv::TranscriptModel &model = presenter.model();
};

TEST_F(PresenterTest, TextEventsReachTheModelAndEveryView)
{
    presenter.setLiveBoth(QStringLiteral("Listening…"));
    expectBoth(QStringLiteral("Listening…"));
    EXPECT_EQ(model.current, QStringLiteral("Listening…"));

    presenter.handleText(QStringLiteral("hel"), false);
    presenter.handleText(QStringLiteral("hello"), false);
    expectBoth(QStringLiteral("hello"));
    EXPECT_EQ(model.current, QStringLiteral("hello"));

    presenter.handleText(QStringLiteral("hello there"), true);
    expectBoth(QStringLiteral("hello there"));
    EXPECT_EQ(model.history, QStringList{QStringLiteral("hello there")});
    EXPECT_TRUE(model.current.isEmpty());

    // A status text takes the live line's place; the next final line removes it.
    presenter.setLiveBoth(QStringLiteral("Caption error: boom"));
    expectBoth(QStringLiteral("hello there\nCaption error: boom"));
    presenter.handleText(QStringLiteral("again"), true);
    expectBoth(QStringLiteral("hello there\nagain"));
    EXPECT_EQ(model.history.size(), 2);
}

TEST_F(PresenterTest, RebuildRedrawsStatusTextsAndThemeChangesRecolourEveryView)
{
    presenter.handleText(QStringLiteral("line"), true);
    presenter.setLiveBoth(QStringLiteral("status"));
    const sv::Theme blackOnWhite = sv::builtInThemes()[2];
    presenter.applyTheme(blackOnWhite);
    expectBoth(QStringLiteral("line\nstatus"));
    for (const TranscriptRenderer *r : {&win, &bar}) {
        EXPECT_EQ(colourAt(*r, 0).rgb(), blackOnWhite.fg.rgb());
        EXPECT_NEAR(colourAt(*r, 0).alphaF(), 0.6, 1e-3);
        EXPECT_EQ(colourAt(*r, 5), blackOnWhite.fg);
    }
    presenter.applyFontSize(40);
    for (const TranscriptRenderer *r : {&win, &bar})
        EXPECT_EQ(formatAt(*r, 0).font().pixelSize(), 40);
    expectBoth(QStringLiteral("line\nstatus"));
}

TEST_F(PresenterTest, ClearTranscriptEmptiesModelAndViews)
{
    presenter.handleText(QStringLiteral("one"), true);
    presenter.handleText(QStringLiteral("two"), false);
    presenter.clearTranscript();
    expectBoth(QString());
    EXPECT_TRUE(model.history.isEmpty());
    EXPECT_TRUE(model.current.isEmpty());
    presenter.handleText(QStringLiteral("next"), false);
    expectBoth(QStringLiteral("next"));
}

} // namespace

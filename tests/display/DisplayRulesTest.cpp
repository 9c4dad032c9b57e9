// The display rules that need no widgets: the transcript model, the themes
// and the appearance values carried by menu items.
#include "display/Appearance.h"
#include "display/Theme.h"
#include "display/TranscriptModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace {

using sv::AppearanceEffect;

TEST(TranscriptModelTest, FinalLinesAreKeptUpToTheCapOldestDroppedFirst)
{
    sv::TranscriptModel model;
    for (int i = 1; i <= 501; ++i)
        model.applyText(QString::number(i), true);
    ASSERT_EQ(model.history.size(), 500);
    EXPECT_EQ(model.history.first(), QStringLiteral("2"));
    EXPECT_EQ(model.history.last(), QStringLiteral("501"));
}

TEST(TranscriptModelTest, LiveReplacesCurrentAndFinalEmptiesIt)
{
    sv::TranscriptModel model;
    model.applyText(QStringLiteral("hel"), false);
    model.applyText(QStringLiteral("hello"), false);
    EXPECT_EQ(model.current, QStringLiteral("hello"));
    EXPECT_TRUE(model.history.isEmpty());

    model.applyText(QStringLiteral("hello there"), true);
    EXPECT_EQ(model.history, QStringList{QStringLiteral("hello there")});
    EXPECT_TRUE(model.current.isEmpty());

    // An empty final line empties the live line but never enters the history.
    model.applyText(QStringLiteral("status"), false);
    model.applyText(QString(), true);
    EXPECT_EQ(model.history.size(), 1);
    EXPECT_TRUE(model.current.isEmpty());

    model.clear();
    EXPECT_TRUE(model.history.isEmpty());
    EXPECT_TRUE(model.current.isEmpty());
}

TEST(ThemeTest, TheFourThemesInMenuOrder)
{
    const std::vector<sv::Theme> themes = sv::builtInThemes();
    ASSERT_EQ(themes.size(), 4u);
    struct Expected {
        const char *name;
        QColor fg;
        QColor bgOpaque;
        double bgAlpha;
    };
    const Expected expected[] = {
        {"White on charcoal", Qt::white, Qt::black, 0.85},
        {"Yellow on black (high contrast)", QColor(), Qt::black, 0.95},
        {"Black on white", Qt::black, Qt::white, 0.95},
        {"Cyan on black", Qt::cyan, Qt::black, 0.95},
    };
    for (size_t i = 0; i < themes.size(); ++i) {
        const sv::Theme &t = themes[i];
        SCOPED_TRACE(t.name.toStdString());
        EXPECT_EQ(t.name, QString::fromUtf8(expected[i].name));
        EXPECT_EQ(t.fg.alpha(), 255);
        if (expected[i].fg.isValid()) {
            EXPECT_EQ(t.fg.rgb(), expected[i].fg.rgb());
        }
        EXPECT_EQ(t.bg.rgb(), expected[i].bgOpaque.rgb());
        EXPECT_NEAR(t.bg.alphaF(), expected[i].bgAlpha, 1e-3);
    }
    // The high-contrast yellow: strong red and green, little blue.
    const QColor yellow = themes[1].fg;
    EXPECT_GE(yellow.red(), 230);
    EXPECT_GE(yellow.green(), 200);
    EXPECT_LE(yellow.blue(), 40);
    EXPECT_EQ(sv::startThemeIndex, 1);
}

TEST(ThemeTest, ApplyingAThemePaintsBothSurfacesAndRebuilds)
{
    const sv::Theme blackOnWhite = sv::builtInThemes()[2];
    const sv::ThemeApplication application = sv::themeApplication(blackOnWhite);
    EXPECT_EQ(application.windowBackground, blackOnWhite.bg);
    EXPECT_EQ(application.barBackground, blackOnWhite.bg);
    EXPECT_EQ(application.rendererTheme.name, blackOnWhite.name);
    EXPECT_TRUE(application.rebuildViews);
}

TEST(AppearanceTest, StartValues)
{
    const sv::Appearance start;
    EXPECT_EQ(start.themeIndex, sv::startThemeIndex);
    EXPECT_EQ(start.fontSize, 30.0);
    EXPECT_EQ(start.widthFraction, 0.6);
    EXPECT_EQ(start.barHeight, 220.0);
}

struct ThemeCase {
    const char *label;
    QVariant carried;
    AppearanceEffect effect;
    int indexAfter;
};

void PrintTo(const ThemeCase &c, std::ostream *os)
{
    *os << c.label;
}

class ThemeSelectionTest : public ::testing::TestWithParam<ThemeCase> {};

TEST_P(ThemeSelectionTest, TakesOnlyAnIndexOfTheList)
{
    sv::Appearance appearance;
    EXPECT_EQ(appearance.selectTheme(GetParam().carried, 4), GetParam().effect);
    EXPECT_EQ(appearance.themeIndex, GetParam().indexAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ThemeSelectionTest,
    ::testing::Values(ThemeCase{"another", QVariant(2), AppearanceEffect::applyTheme, 2},
                      // The theme in use is applied again all the same.
                      ThemeCase{"same", QVariant(1), AppearanceEffect::applyTheme, 1},
                      ThemeCase{"first", QVariant(qlonglong(0)), AppearanceEffect::applyTheme, 0},
                      ThemeCase{"last", QVariant(3u), AppearanceEffect::applyTheme, 3},
                      ThemeCase{"past end", QVariant(4), AppearanceEffect::nothing, 1},
                      ThemeCase{"negative", QVariant(-1), AppearanceEffect::nothing, 1},
                      ThemeCase{"double", QVariant(2.0), AppearanceEffect::nothing, 1},
                      ThemeCase{"string", QVariant(QStringLiteral("2")), AppearanceEffect::nothing, 1},
                      ThemeCase{"none", QVariant(), AppearanceEffect::nothing, 1}),
    [](const auto &info) {
        std::string name = info.param.label;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST(AppearanceTest, NumbersAreStoredUnclampedWithTheirEffect)
{
    sv::Appearance appearance;
    EXPECT_EQ(appearance.selectFontSize(QVariant(52.0)), AppearanceEffect::restyleText);
    EXPECT_EQ(appearance.fontSize, 52.0);
    EXPECT_EQ(appearance.selectWidthFraction(QVariant(0.1)), AppearanceEffect::placeBar);
    EXPECT_EQ(appearance.widthFraction, 0.1);
    EXPECT_EQ(appearance.selectBarHeight(QVariant(360)), AppearanceEffect::placeBar);
    EXPECT_EQ(appearance.barHeight, 360.0);
    EXPECT_EQ(appearance.themeIndex, 1);
}

TEST(AppearanceTest, ValuesOfTheWrongKindChangeNothing)
{
    const QVariant wrong[] = {QVariant(), QVariant(QStringLiteral("40")), QVariant(true),
                              QVariant(std::numeric_limits<double>::quiet_NaN()),
                              QVariant(std::numeric_limits<double>::infinity())};
    for (const QVariant &carried : wrong) {
        SCOPED_TRACE(carried.typeName() ? carried.typeName() : "invalid");
        sv::Appearance appearance;
        EXPECT_EQ(appearance.selectFontSize(carried), AppearanceEffect::nothing);
        EXPECT_EQ(appearance.selectWidthFraction(carried), AppearanceEffect::nothing);
        EXPECT_EQ(appearance.selectBarHeight(carried), AppearanceEffect::nothing);
        EXPECT_EQ(appearance.fontSize, 30.0);
        EXPECT_EQ(appearance.widthFraction, 0.6);
        EXPECT_EQ(appearance.barHeight, 220.0);
    }
}

} // namespace

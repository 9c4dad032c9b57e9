#include "app/MenuModel.h"

#include <gtest/gtest.h>

#include <functional>

using namespace sv;
using Kind = MenuItem::Kind;

namespace {

const QStringList themeNames{
    QStringLiteral("White on charcoal"),
    QStringLiteral("Yellow on black (high contrast)"),
    QStringLiteral("Black on white"),
    QStringLiteral("Cyan on black"),
};

struct Row {
    Kind kind;
    const char *title;
    const char *shortcut;
    Command command;
    bool sendsItem;
};

void expectRows(const std::vector<MenuItem> &items, const std::vector<Row> &rows)
{
    ASSERT_EQ(items.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i << " " << rows[i].title);
        EXPECT_EQ(items[i].kind, rows[i].kind);
        EXPECT_EQ(items[i].title, QString::fromUtf8(rows[i].title));
        EXPECT_EQ(items[i].shortcut, QString::fromUtf8(rows[i].shortcut));
        EXPECT_EQ(items[i].command, rows[i].command);
        EXPECT_EQ(items[i].sendsItem, rows[i].sendsItem);
    }
}

void forEachItem(const std::vector<MenuItem> &items, const std::function<void(const MenuItem &)> &visit)
{
    for (const MenuItem &item : items) {
        visit(item);
        forEachItem(item.children, visit);
    }
}

const MenuItem &itemTitled(const std::vector<MenuItem> &items, const QString &title)
{
    const MenuItem *found = nullptr;
    forEachItem(items, [&](const MenuItem &item) {
        if (!found && item.title == title)
            found = &item;
    });
    if (!found)
        throw std::runtime_error(title.toStdString());
    return *found;
}

// Titles of every checked item, across all submenus.
QStringList checkedTitles(const std::vector<MenuItem> &items)
{
    QStringList titles;
    forEachItem(items, [&](const MenuItem &item) {
        if (item.checked)
            titles << item.title;
    });
    return titles;
}

const Kind A = Kind::action;
const Kind S = Kind::separator;
const Kind M = Kind::submenu;

} // namespace

TEST(MenuModel, StatusMenuRowsInOrder)
{
    const auto menu = statusMenu({}, themeNames);
    expectRows(menu, {
        {A, "Pause listening", "Ctrl+L", Command::toggleListening, true},
        {A, "Restart listening (unstick)", "Ctrl+U", Command::restartListening, false},
        {S, "", "", Command::none, false},
        {A, "Show main window", "Ctrl+W", Command::showWindow, false},
        {A, "Show / hide floating bar", "Ctrl+B", Command::toggleBar, false},
        {S, "", "", Command::none, false},
        {M, "Floating bar", "", Command::none, false},
        {M, "Colors", "", Command::none, false},
        {M, "Text size", "", Command::none, false},
        {S, "", "", Command::none, false},
        {A, "Sound alerts", "", Command::toggleSoundAlerts, true},
        {M, "Test alert", "", Command::none, false},
        {S, "", "", Command::none, false},
        {A, "Clear transcript", "Ctrl+K", Command::clearTranscript, false},
        {A, "Save diagnostics to Downloads", "", Command::saveDiagnostics, false},
        {S, "", "", Command::none, false},
        {A, "Quit Sonivane", "Ctrl+Q", Command::quit, false},
    });
}

TEST(MenuModel, SubmenusInOrder)
{
    const auto menu = statusMenu({}, themeNames);

    const auto *bar = submenuAt(menu, {"Floating bar"});
    ASSERT_TRUE(bar);
    expectRows(*bar, {
        {A, "Lock bar (click-through)", "Ctrl+M", Command::toggleInteractive, true},
        {A, "Recenter to my screen", "Ctrl+R", Command::recenter, false},
        {M, "Show on display", "", Command::none, false},
        {A, "Follow my active screen", "", Command::toggleFollow, true},
        {M, "Position", "", Command::none, false},
        {M, "Width", "", Command::none, false},
        {M, "Height", "", Command::none, false},
    });
    EXPECT_TRUE((*bar)[2].refillsOnOpen);
    EXPECT_TRUE((*bar)[2].children.empty());

    expectRows(*submenuAt(menu, {"Floating bar", "Position"}), {
        {A, "Top", "", Command::moveTop, false},
        {A, "Bottom", "", Command::moveBottom, false},
    });
    expectRows(*submenuAt(menu, {"Test alert"}), {
        {A, "Doorbell (normal)", "", Command::testNormalAlert, false},
        {A, "Alarm (high — flash screen)", "", Command::testHighAlert, false},
    });

    const auto *colors = submenuAt(menu, {"Colors"});
    ASSERT_EQ(colors->size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ((*colors)[i].title, themeNames[i]);
        EXPECT_EQ((*colors)[i].command, Command::setThemeFromMenu);
        EXPECT_EQ(std::get<int>((*colors)[i].value), i);
    }

    // Nothing else in the status menu refills itself.
    int refilling = 0;
    forEachItem(menu, [&](const MenuItem &item) { refilling += item.refillsOnOpen; });
    EXPECT_EQ(refilling, 1);
}

TEST(MenuModel, PresetSubmenusCarryTheirOwnValues)
{
    const auto menu = statusMenu({}, themeNames);
    struct Case {
        QStringList path;
        Command command;
        std::vector<std::pair<const char *, double>> items;
    } cases[] = {
        {{"Floating bar", "Width"}, Command::setWidthFromMenu,
         {{"Narrow", 0.4}, {"Medium", 0.6}, {"Wide", 0.8}, {"Full width", 1.0}}},
        {{"Floating bar", "Height"}, Command::setHeightFromMenu, {{"Short", 120}, {"Medium", 220}, {"Tall", 360}}},
        {{"Text size"}, Command::setFontFromMenu, {{"Small", 22}, {"Medium", 30}, {"Large", 40}, {"Extra large", 52}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.join('/').toStdString());
        const auto *items = submenuAt(menu, c.path);
        ASSERT_TRUE(items);
        ASSERT_EQ(items->size(), c.items.size());
        for (size_t i = 0; i < c.items.size(); ++i) {
            const MenuItem &item = (*items)[i];
            EXPECT_EQ(item.title, QString::fromUtf8(c.items[i].first));
            EXPECT_EQ(std::get<double>(item.value), c.items[i].second);
            EXPECT_EQ(item.command, c.command);
            EXPECT_TRUE(item.sendsItem);
            EXPECT_TRUE(item.shortcut.isEmpty());
            EXPECT_FALSE(item.checkable());
        }
    }

    // The start-up defaults are each list's "Medium".
    const MenuSettings defaults;
    EXPECT_EQ(defaults.widthFraction, 0.6);
    EXPECT_EQ(defaults.barHeight, 220);
    EXPECT_EQ(defaults.fontSize, 30);
}

TEST(MenuModel, CheckmarksAtStart)
{
    const auto menu = statusMenu({}, themeNames);
    EXPECT_EQ(checkedTitles(menu), QStringList({"Yellow on black (high contrast)", "Sound alerts"}));
    EXPECT_EQ(menu[0].title, "Pause listening");
    EXPECT_TRUE(menu[0].checkable());
    EXPECT_TRUE(itemTitled(menu, "Lock bar (click-through)").checkable());
    EXPECT_TRUE(itemTitled(menu, "Follow my active screen").checkable());
}

// Each case chooses items in turn (applying the command's effect on the
// settings, then refreshing the menu) and checks what the menu shows.
TEST(MenuModel, TitlesAndCheckmarksFollowCommands)
{
    struct Step {
        Command command;
        CarriedValue value;
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
        const char *firstTitle;
        QStringList checked;
    } cases[] = {
        {"pause", {{Command::toggleListening, {}}}, "Resume listening",
         {"Resume listening", "Yellow on black (high contrast)", "Sound alerts"}},
        {"pause and resume", {{Command::toggleListening, {}}, {Command::toggleListening, {}}}, "Pause listening",
         {"Yellow on black (high contrast)", "Sound alerts"}},
        // Restarting turns listening back on, so the item must offer to pause.
        {"restart while paused", {{Command::toggleListening, {}}, {Command::restartListening, {}}}, "Pause listening",
         {"Yellow on black (high contrast)", "Sound alerts"}},
        {"restart then pause",
         {{Command::toggleListening, {}}, {Command::restartListening, {}}, {Command::toggleListening, {}}},
         "Resume listening", {"Resume listening", "Yellow on black (high contrast)", "Sound alerts"}},
        {"lock", {{Command::toggleInteractive, {}}}, "Pause listening",
         {"Lock bar (click-through)", "Yellow on black (high contrast)", "Sound alerts"}},
        {"lock twice", {{Command::toggleInteractive, {}}, {Command::toggleInteractive, {}}}, "Pause listening",
         {"Yellow on black (high contrast)", "Sound alerts"}},
        {"follow", {{Command::toggleFollow, {}}}, "Pause listening",
         {"Follow my active screen", "Yellow on black (high contrast)", "Sound alerts"}},
        {"sound alerts off", {{Command::toggleSoundAlerts, {}}}, "Pause listening",
         {"Yellow on black (high contrast)"}},
        {"sound alerts off and on", {{Command::toggleSoundAlerts, {}}, {Command::toggleSoundAlerts, {}}},
         "Pause listening", {"Yellow on black (high contrast)", "Sound alerts"}},
        {"colour", {{Command::setThemeFromMenu, 3}}, "Pause listening", {"Cyan on black", "Sound alerts"}},
        {"colour of the wrong kind", {{Command::setThemeFromMenu, 3.0}}, "Pause listening",
         {"Yellow on black (high contrast)", "Sound alerts"}},
        {"presets and positions set no checkmark",
         {{Command::setWidthFromMenu, 0.8}, {Command::setHeightFromMenu, 220.0}, {Command::setFontFromMenu, 30.0},
          {Command::moveBottom, {}}, {Command::selectDisplay, 0}},
         "Pause listening", {"Yellow on black (high contrast)", "Sound alerts"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MenuSettings settings;
        auto menu = statusMenu(settings, themeNames);
        for (const Step &step : c.steps) {
            settings = settingsAfter(settings, step.command, step.value);
            refresh(menu, settings);
        }
        EXPECT_EQ(menu[0].title, QString::fromUtf8(c.firstTitle));
        EXPECT_EQ(checkedTitles(menu), c.checked);
        // A menu built afresh from the same settings looks the same.
        EXPECT_EQ(checkedTitles(statusMenu(settings, themeNames)), c.checked);
        EXPECT_EQ(statusMenu(settings, themeNames)[0].title, menu[0].title);
    }
}

TEST(MenuModel, CommandsSetTheValuesTheyCarry)
{
    MenuSettings s;
    s = settingsAfter(s, Command::setWidthFromMenu, 0.8);
    s = settingsAfter(s, Command::setHeightFromMenu, 360.0);
    s = settingsAfter(s, Command::setFontFromMenu, 52.0);
    s = settingsAfter(s, Command::moveBottom);
    EXPECT_EQ(s.widthFraction, 0.8);
    EXPECT_EQ(s.barHeight, 360);
    EXPECT_EQ(s.fontSize, 52);
    EXPECT_EQ(s.currentPos, BarPosition::bottom);
    EXPECT_EQ(settingsAfter(s, Command::moveTop).currentPos, BarPosition::top);

    // A value of the wrong kind, or none, leaves the setting as it was.
    EXPECT_EQ(settingsAfter(s, Command::setWidthFromMenu, 1).widthFraction, 0.8);
    EXPECT_EQ(settingsAfter(s, Command::setFontFromMenu).fontSize, 52);
    EXPECT_EQ(settingsAfter(s, Command::setThemeFromMenu).themeIndex, 1);
}

TEST(MenuModel, DisplayItems)
{
    const auto two = displayItems({"DEL U2720Q", "Built-in"}, 0);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].title, QStringLiteral("Display 1 \u2014 DEL U2720Q"));
    EXPECT_EQ(two[1].title, QStringLiteral("Display 2 \u2014 Built-in"));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(two[i].command, Command::selectDisplay);
        EXPECT_TRUE(two[i].sendsItem);
        EXPECT_TRUE(two[i].shortcut.isEmpty());
        EXPECT_EQ(std::get<int>(two[i].value), i);
    }
    EXPECT_EQ(checkedTitles(two), QStringList({"Display 1 — DEL U2720Q"}));
    EXPECT_EQ(checkedTitles(displayItems({"A", "B"}, 1)), QStringList({"Display 2 — B"}));
    EXPECT_TRUE(checkedTitles(displayItems({"A", "B"}, std::nullopt)).isEmpty());
    EXPECT_TRUE(displayItems({}, 0).empty());

    // A refresh after a command keeps the checkmark the opening gave.
    auto items = displayItems({"A", "B"}, 1);
    refresh(items, MenuSettings{});
    EXPECT_EQ(checkedTitles(items), QStringList({"Display 2 — B"}));
}

TEST(MenuModel, ApplicationMenu)
{
    const auto bar = applicationMenu();
    expectRows(bar, {
        {M, "Sonivane", "", Command::none, false},
        {M, "Edit", "", Command::none, false},
    });
    expectRows(bar[0].children, {
        {A, "Hide Sonivane", "Ctrl+H", Command::hide, false},
        {S, "", "", Command::none, false},
        {A, "Quit Sonivane", "Ctrl+Q", Command::quit, false},
    });
    expectRows(bar[1].children, {
        {A, "Copy", "Ctrl+C", Command::copy, false},
        {A, "Select All", "Ctrl+A", Command::selectAll, false},
    });
    EXPECT_TRUE(checkedTitles(bar).isEmpty());
}

#include "MenuModel.h"

#include "StatusText.h"

namespace sv {

namespace {

MenuItem action(const QString &title, const QString &shortcut, Command command)
{
    MenuItem item;
    item.title = title;
    item.shortcut = shortcut;
    item.command = command;
    return item;
}

// A command that reads the item it came from; its checkmark follows `rule`.
MenuItem itemAction(const QString &title, const QString &shortcut, Command command, CheckRule rule)
{
    MenuItem item = action(title, shortcut, command);
    item.sendsItem = true;
    item.check = rule;
    return item;
}

MenuItem separator()
{
    MenuItem item;
    item.kind = MenuItem::Kind::separator;
    return item;
}

MenuItem submenu(const QString &title, std::vector<MenuItem> children)
{
    MenuItem item;
    item.kind = MenuItem::Kind::submenu;
    item.title = title;
    item.children = std::move(children);
    return item;
}

MenuItem floatingBarMenu()
{
    MenuItem display = submenu(QStringLiteral("Show on display"), {});
    display.refillsOnOpen = true;

    return submenu(QStringLiteral("Floating bar"), {
        itemAction(QStringLiteral("Lock bar (click-through)"), QStringLiteral("Ctrl+M"),
                   Command::toggleInteractive, CheckRule::locked),
        action(QStringLiteral("Recenter to my screen"), QStringLiteral("Ctrl+R"), Command::recenter),
        display,
        itemAction(QStringLiteral("Follow my active screen"), {}, Command::toggleFollow, CheckRule::following),
        submenu(QStringLiteral("Position"), {
            action(QStringLiteral("Top"), {}, Command::moveTop),
            action(QStringLiteral("Bottom"), {}, Command::moveBottom),
        }),
        presetMenu(QStringLiteral("Width"), widthPresets(), Command::setWidthFromMenu),
        presetMenu(QStringLiteral("Height"), heightPresets(), Command::setHeightFromMenu),
    });
}

MenuItem colorsMenu(const QStringList &themeNames)
{
    std::vector<MenuItem> items;
    for (int i = 0; i < themeNames.size(); ++i) {
        MenuItem item = itemAction(themeNames.at(i), {}, Command::setThemeFromMenu, CheckRule::currentTheme);
        item.value = i;
        items.push_back(std::move(item));
    }
    return submenu(QStringLiteral("Colors"), std::move(items));
}

MenuItem testAlertMenu()
{
    return submenu(QStringLiteral("Test alert"), {
        action(QStringLiteral("Doorbell (normal)"), {}, Command::testNormalAlert),
        action(QStringLiteral("Alarm (high — flash screen)"), {}, Command::testHighAlert),
    });
}

} // namespace

const std::vector<Preset> &widthPresets()
{
    static const std::vector<Preset> presets{
        {QStringLiteral("Narrow"), 0.4},
        {QStringLiteral("Medium"), 0.6},
        {QStringLiteral("Wide"), 0.8},
        {QStringLiteral("Full width"), 1.0},
    };
    return presets;
}

const std::vector<Preset> &heightPresets()
{
    static const std::vector<Preset> presets{
        {QStringLiteral("Short"), 120},
        {QStringLiteral("Medium"), 220},
        {QStringLiteral("Tall"), 360},
    };
    return presets;
}

const std::vector<Preset> &textSizePresets()
{
    static const std::vector<Preset> presets{
        {QStringLiteral("Small"), 22},
        {QStringLiteral("Medium"), 30},
        {QStringLiteral("Large"), 40},
        {QStringLiteral("Extra large"), 52},
    };
    return presets;
}

MenuItem presetMenu(const QString &title, const std::vector<Preset> &presets, Command command)
{
    std::vector<MenuItem> items;
    for (const Preset &preset : presets) {
        MenuItem item = action(preset.title, {}, command);
        item.sendsItem = true;
        item.value = preset.value;
        items.push_back(std::move(item));
    }
    return submenu(title, std::move(items));
}

std::vector<MenuItem> statusMenu(const MenuSettings &settings, const QStringList &themeNames)
{
    std::vector<MenuItem> items{
        itemAction(pauseTitle, QStringLiteral("Ctrl+L"), Command::toggleListening, CheckRule::paused),
        action(QStringLiteral("Restart listening (unstick)"), QStringLiteral("Ctrl+U"), Command::restartListening),
        separator(),
        action(QStringLiteral("Show main window"), QStringLiteral("Ctrl+W"), Command::showWindow),
        action(QStringLiteral("Show / hide floating bar"), QStringLiteral("Ctrl+B"), Command::toggleBar),
        separator(),
        floatingBarMenu(),
        colorsMenu(themeNames),
        presetMenu(QStringLiteral("Text size"), textSizePresets(), Command::setFontFromMenu),
        separator(),
        itemAction(QStringLiteral("Sound alerts"), {}, Command::toggleSoundAlerts, CheckRule::soundAlerts),
        testAlertMenu(),
        separator(),
        action(QStringLiteral("Clear transcript"), QStringLiteral("Ctrl+K"), Command::clearTranscript),
        action(QStringLiteral("Save diagnostics to Downloads"), {}, Command::saveDiagnostics),
        separator(),
        action(QStringLiteral("Quit Sonivane"), QStringLiteral("Ctrl+Q"), Command::quit),
    };
    refresh(items, settings);
    return items;
}

std::vector<MenuItem> applicationMenu()
{
    // A menu bar entry needs a visible title: the application's own menu is
    // the one macOS would show under the application's name.
    return {
        submenu(QStringLiteral("Sonivane"), {
            action(QStringLiteral("Hide Sonivane"), QStringLiteral("Ctrl+H"), Command::hide),
            separator(),
            action(QStringLiteral("Quit Sonivane"), QStringLiteral("Ctrl+Q"), Command::quit),
        }),
        submenu(QStringLiteral("Edit"), {
            action(QStringLiteral("Copy"), QStringLiteral("Ctrl+C"), Command::copy),
            action(QStringLiteral("Select All"), QStringLiteral("Ctrl+A"), Command::selectAll),
        }),
    };
}

std::vector<MenuItem> displayItems(const QStringList &screenNames, std::optional<int> barScreenIndex)
{
    std::vector<MenuItem> items;
    for (int i = 0; i < screenNames.size(); ++i) {
        const QString title = QStringLiteral("Display ") + QString::number(i + 1) + QStringLiteral(" — ")
                              + screenNames.at(i);
        MenuItem item = itemAction(title, {}, Command::selectDisplay, CheckRule::barScreen);
        item.value = i;
        item.checked = barScreenIndex == i;
        items.push_back(std::move(item));
    }
    return items;
}

bool checkedUnder(const MenuItem &item, const MenuSettings &settings)
{
    switch (item.check) {
    case CheckRule::never:
        return false;
    case CheckRule::paused:
        return !settings.listening;
    case CheckRule::locked:
        return !settings.interactive;
    case CheckRule::following:
        return settings.followMouse;
    case CheckRule::soundAlerts:
        return settings.soundAlertsOn;
    case CheckRule::currentTheme: {
        const int *index = std::get_if<int>(&item.value);
        return index && *index == settings.themeIndex;
    }
    case CheckRule::barScreen:
        return item.checked;
    }
    return false;
}

QString titleUnder(const MenuItem &item, const MenuSettings &settings)
{
    if (item.command == Command::toggleListening)
        return settings.listening ? pauseTitle : resumeTitle;
    return item.title;
}

void refresh(std::vector<MenuItem> &items, const MenuSettings &settings)
{
    for (MenuItem &item : items) {
        item.title = titleUnder(item, settings);
        item.checked = checkedUnder(item, settings);
        refresh(item.children, settings);
    }
}

MenuSettings settingsAfter(const MenuSettings &settings, Command command, const CarriedValue &value)
{
    MenuSettings after = settings;
    const double *number = std::get_if<double>(&value);
    const int *index = std::get_if<int>(&value);
    switch (command) {
    case Command::toggleListening:
        after.listening = !settings.listening;
        break;
    case Command::restartListening:
        after.listening = true;
        break;
    case Command::toggleInteractive:
        after.interactive = !settings.interactive;
        break;
    case Command::toggleFollow:
        after.followMouse = !settings.followMouse;
        break;
    case Command::toggleSoundAlerts:
        after.soundAlertsOn = !settings.soundAlertsOn;
        break;
    case Command::moveTop:
        after.currentPos = BarPosition::top;
        break;
    case Command::moveBottom:
        after.currentPos = BarPosition::bottom;
        break;
    case Command::setWidthFromMenu:
        if (number)
            after.widthFraction = *number;
        break;
    case Command::setHeightFromMenu:
        if (number)
            after.barHeight = *number;
        break;
    case Command::setFontFromMenu:
        if (number)
            after.fontSize = *number;
        break;
    case Command::setThemeFromMenu:
        if (index)
            after.themeIndex = *index;
        break;
    default:
        break;
    }
    return after;
}

const std::vector<MenuItem> *submenuAt(const std::vector<MenuItem> &items, const QStringList &path)
{
    const std::vector<MenuItem> *level = &items;
    for (const QString &title : path) {
        const std::vector<MenuItem> *next = nullptr;
        for (const MenuItem &item : *level) {
            if (item.kind == MenuItem::Kind::submenu && item.title == title) {
                next = &item.children;
                break;
            }
        }
        if (!next)
            return nullptr;
        level = next;
    }
    return level;
}

} // namespace sv

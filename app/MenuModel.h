#pragma once

#include "display/BarPlacement.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace sv {

// The menus as plain data: every row in order with its title, key, command,
// checkmark rule and carried value. The GUI turns this into QMenu/QAction
// objects and sends each command to AppDelegate; nothing here touches a
// widget, so everything is pure and callable from any thread.

// What an item sends when chosen. Most are the AppDelegate methods of the same
// name; hide, quit, copy and selectAll are the platform's standard actions
// (hide the application's windows, end the application, and the focused text
// view's Copy and Select All).
enum class Command {
    none, // separators and rows that only open a submenu
    toggleListening,
    restartListening,
    showWindow,
    toggleBar,
    toggleInteractive,
    recenter,
    selectDisplay,
    toggleFollow,
    moveTop,
    moveBottom,
    setWidthFromMenu,
    setHeightFromMenu,
    setFontFromMenu,
    setThemeFromMenu,
    toggleSoundAlerts,
    testNormalAlert,
    testHighAlert,
    clearTranscript,
    saveDiagnostics,
    hide,
    quit,
    copy,
    selectAll,
};

// What an item's checkmark follows. The listening item's title follows the
// same flag ("Pause listening" while listening, "Resume listening" while
// paused), so title and checkmark always tell the truth about captioning,
// also after a restart has switched listening back on.
enum class CheckRule {
    never,        // never shows a checkmark (presets among them)
    paused,       // on while listening is false
    locked,       // on while interactive is false
    following,    // on while followMouse is true
    soundAlerts,  // on while soundAlertsOn is true
    currentTheme, // on when the carried index equals themeIndex
    barScreen,    // set when the display submenu is filled; kept until the next fill
};

// A preset item carries a double, a colour item its 0-based theme index, a
// display item the 0-based position of its screen in the list it was built
// from (the GUI keeps that list to map the position back to the screen).
using CarriedValue = std::variant<std::monostate, double, int>;

struct MenuItem {
    enum class Kind { action, separator, submenu };

    Kind kind = Kind::action;
    QString title;
    QString shortcut;                 // Qt key sequence text ("Ctrl+L"), or empty
    Command command = Command::none;
    bool sendsItem = false;           // the command reads the item's value, or changes its title/checkmark
    CheckRule check = CheckRule::never;
    bool checked = false;
    CarriedValue value;
    std::vector<MenuItem> children;   // rows of a submenu, in order
    bool refillsOnOpen = false;       // the display submenu: empty until displayItems() fills it at each opening

    // Whether the item can ever show a checkmark (QAction::setCheckable).
    bool checkable() const { return check != CheckRule::never; }
};

// The settings the menus read; the defaults are the start-up values.
struct MenuSettings {
    bool listening = true;
    bool interactive = true;
    bool followMouse = false;
    bool soundAlertsOn = true;
    BarPosition currentPos = BarPosition::top;
    int themeIndex = 1;
    double fontSize = 30;
    double widthFraction = 0.6;
    double barHeight = 220;
};

struct Preset {
    QString title;
    double value;
};

// The three constant preset lists, in menu order. Each list's "Medium" is
// its own value: 0.6 of the screen width, 220 points high, 30-point text.
const std::vector<Preset> &widthPresets();
const std::vector<Preset> &heightPresets();
const std::vector<Preset> &textSizePresets();

// A submenu titled `title` with one item per preset: no key, sends `command`
// with the item, carries the preset's value, never checked.
MenuItem presetMenu(const QString &title, const std::vector<Preset> &presets, Command command);

// The status menu's rows, top to bottom, with titles and checkmarks as
// `settings` gives them. `themeNames` fills "Colors", in list order.
std::vector<MenuItem> statusMenu(const MenuSettings &settings, const QStringList &themeNames);

// The application menu bar: the application's own menu (hide, quit) and
// "Edit" (copy, select all). Each entry is a submenu item.
std::vector<MenuItem> applicationMenu();

// The items of "Show on display" for the current screens, in the platform's
// order (primary first): "Display N — name", sending selectDisplay with the
// item and carrying N - 1. The one at `barScreenIndex` is checked; none is
// when the bar has no screen. An empty list gives no items.
std::vector<MenuItem> displayItems(const QStringList &screenNames, std::optional<int> barScreenIndex);

// The checkmark and title `item` shows under `settings`. Items whose rule is
// barScreen keep the checkmark they were filled with.
bool checkedUnder(const MenuItem &item, const MenuSettings &settings);
QString titleUnder(const MenuItem &item, const MenuSettings &settings);

// Brings the titles and checkmarks of `items` and their submenus in line
// with `settings`. Call after every command that changes a setting.
void refresh(std::vector<MenuItem> &items, const MenuSettings &settings);

// The settings as the menus see them once `command` has done its work, given
// the value carried by the item that sent it. A value of the wrong kind
// changes nothing, as does a command that changes no setting. For
// restartListening this is the state after its delayed restart, when
// listening is on again.
MenuSettings settingsAfter(const MenuSettings &settings, Command command, const CarriedValue &value = {});

// The rows a submenu item opens, found by title along `path` from `items`;
// nullptr when a step is missing. Lets the GUI and tests reach one submenu.
const std::vector<MenuItem> *submenuAt(const std::vector<MenuItem> &items, const QStringList &path);

} // namespace sv

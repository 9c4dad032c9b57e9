#pragma once

#include <QVariant>

namespace sv {

// What the caller has to do after a menu value was taken.
enum class AppearanceEffect {
    nothing,     // the carried value was not of the expected kind; nothing changed
    applyTheme,  // paint both backgrounds, give both renderers the theme, rebuild both views
    restyleText, // give both renderers the new fontSize, rebuild both views
    placeBar,    // re-place the floating bar; renderers are left alone
};

// The appearance settings of the caption surfaces, with their start values
// (each preset list's "Medium", and the high-contrast theme). The select*
// operations take the value carried by the chosen menu item (QAction::data())
// and answer what to redo. A value of the wrong kind changes nothing and
// answers AppearanceEffect::nothing. Main thread.
struct Appearance {
    int themeIndex = 1;
    double fontSize = 30;
    double widthFraction = 0.6;
    double barHeight = 220;

    // The carried value must be an integer naming an entry of a theme list
    // of themeCount entries. Choosing the theme already in use still answers
    // applyTheme. The caller moves the "Colors" check mark to the sender.
    AppearanceEffect selectTheme(const QVariant &carried, int themeCount);

    // Each takes a finite number (an integer counts) and stores it as it is,
    // without clamping: the bar's 320-pixel minimum width is applied by its
    // placement.
    AppearanceEffect selectFontSize(const QVariant &carried);
    AppearanceEffect selectWidthFraction(const QVariant &carried);
    AppearanceEffect selectBarHeight(const QVariant &carried);
};

} // namespace sv

#pragma once

#include <QColor>
#include <QString>

#include <vector>

namespace sv {

// A colour theme of the caption surfaces. Plain value; main thread or any.
struct Theme {
    QString name; // title of the theme's item in the "Colors" menu
    QColor fg;    // caption text colour, opaque; committed text uses it at alpha 0.6
    QColor bg;    // background of both caption surfaces, with its own alpha
};

// The four themes in menu order; the one at startThemeIndex is the theme in
// use at start. Built afresh on each call: the caller keeps its own list.
std::vector<Theme> builtInThemes();
inline constexpr int startThemeIndex = 1;

// What applying a theme sets: both surfaces' backgrounds get the theme's
// background colour (alpha included), both renderers get the theme, and
// both views are rebuilt from the transcript so existing text recolours.
struct ThemeApplication {
    QColor windowBackground;
    QColor barBackground;
    Theme rendererTheme;
    bool rebuildViews = true;
};
ThemeApplication themeApplication(const Theme &theme);

} // namespace sv

#include "Theme.h"

namespace sv {

namespace {

QColor blackAt(double alpha)
{
    return QColor::fromRgbF(0, 0, 0, float(alpha));
}

} // namespace

std::vector<Theme> builtInThemes()
{
    // Linux has no system yellow; this is a saturated yellow bright enough to
    // keep the high contrast on black that the theme's name promises.
    const QColor systemYellow(255, 214, 10);
    return {
        {QStringLiteral("White on charcoal"), QColor::fromRgbF(1, 1, 1), blackAt(0.85)},
        {QStringLiteral("Yellow on black (high contrast)"), systemYellow, blackAt(0.95)},
        {QStringLiteral("Black on white"), QColor::fromRgbF(0, 0, 0), QColor::fromRgbF(1, 1, 1, 0.95f)},
        {QStringLiteral("Cyan on black"), QColor::fromRgbF(0, 1, 1), blackAt(0.95)},
    };
}

ThemeApplication themeApplication(const Theme &theme)
{
    return {theme.bg, theme.bg, theme, true};
}

} // namespace sv

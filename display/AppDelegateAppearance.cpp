// Colours, text size and the bar's size, as chosen from the menus.

#include "app/AppDelegate.h"

#include "display/DragView.h"
#include "display/TranscriptRenderer.h"

#include <QAction>
#include <QMenu>

namespace sv {

void AppDelegate::applyTheme()
{
    const Theme &theme = themes[size_t(appearance.themeIndex)];
    const ThemeApplication applied = themeApplication(theme);
    if (winBG)
        winBG->setBackground(applied.windowBackground);
    if (barBG)
        barBG->setBackground(applied.barBackground);
    presenter.applyTheme(applied.rendererTheme);
}

void AppDelegate::applyAppearanceEffect(AppearanceEffect effect)
{
    switch (effect) {
    case AppearanceEffect::nothing:
        break;
    case AppearanceEffect::applyTheme:
        applyTheme();
        break;
    case AppearanceEffect::restyleText:
        presenter.applyFontSize(appearance.fontSize);
        break;
    case AppearanceEffect::placeBar:
        place();
        break;
    }
}

void AppDelegate::setThemeFromMenu(QAction *item)
{
    if (!item)
        return;
    const AppearanceEffect effect = appearance.selectTheme(item->data(), int(themes.size()));
    if (effect == AppearanceEffect::nothing)
        return;
    // The check mark moves to the chosen colour, off every other one.
    for (QObject *owner : item->associatedObjects()) {
        if (auto *menu = qobject_cast<QMenu *>(owner)) {
            for (QAction *other : menu->actions())
                other->setChecked(other == item);
        }
    }
    applyAppearanceEffect(effect);
}

void AppDelegate::setFontFromMenu(QAction *item)
{
    if (item)
        applyAppearanceEffect(appearance.selectFontSize(item->data()));
}

void AppDelegate::setWidthFromMenu(QAction *item)
{
    if (item)
        applyAppearanceEffect(appearance.selectWidthFraction(item->data()));
}

void AppDelegate::setHeightFromMenu(QAction *item)
{
    if (item)
        applyAppearanceEffect(appearance.selectBarHeight(item->data()));
}

} // namespace sv

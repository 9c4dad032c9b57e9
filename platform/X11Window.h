#pragma once

class QWindow;

namespace sv {

// Whether the application runs on X11 (Qt's xcb platform), decided once.
bool isX11();

// On X11: keeps `window` on every virtual desktop and out of the taskbar
// and pager. Call after the window has been shown (it needs its X window);
// does nothing elsewhere.
void makeStickyEverywhere(QWindow *window);

// Whether translucent windows are blended with what lies below them: true
// when a compositing manager runs (X11), and on other platforms.
bool hasCompositor();

} // namespace sv

#pragma once

class QWindow;

namespace sv {

// Whether the application runs on X11 (Qt's xcb platform), decided once.
bool isX11();

// On X11: keeps `window` on every virtual desktop and out of the taskbar
// and pager. Call after the window has been shown (it needs its X window);
// does nothing elsewhere.
void makeStickyEverywhere(QWindow *window);

} // namespace sv

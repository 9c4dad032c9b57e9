#include "X11Window.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstring>

namespace sv {

bool isX11()
{
    static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    return x11;
}

namespace {

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}

// A client message to the root window is how EWMH asks the window manager
// to change the state of a mapped window.
void sendState(xcb_connection_t *c, xcb_window_t root, xcb_window_t w, xcb_atom_t stateAtom, xcb_atom_t a,
               xcb_atom_t b)
{
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = stateAtom;
    ev.data.data32[0] = 1; // _NET_WM_STATE_ADD
    ev.data.data32[1] = a;
    ev.data.data32[2] = b;
    ev.data.data32[3] = 1; // source: application
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&ev));
}

} // namespace

bool hasCompositor()
{
    if (!isX11())
        return true;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return true;
    xcb_connection_t *c = x11->connection();
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const xcb_atom_t selection = atom(c, "_NET_WM_CM_S0");
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    free(reply);
    return owned;
}

void makeStickyEverywhere(QWindow *window)
{
    if (!isX11() || !window)
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    xcb_connection_t *c = x11->connection();
    const xcb_window_t w = xcb_window_t(window->winId());
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;

    const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t sticky = atom(c, "_NET_WM_STATE_STICKY");
    const xcb_atom_t skipTaskbar = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    const xcb_atom_t skipPager = atom(c, "_NET_WM_STATE_SKIP_PAGER");
    const xcb_atom_t above = atom(c, "_NET_WM_STATE_ABOVE");

    // Both the property (read when a window manager maps the window) and the
    // request (for one that already manages it).
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, desktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    const xcb_atom_t states[] = {sticky, skipTaskbar, skipPager, above};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, w, state, XCB_ATOM_ATOM, 32, 4, states);
    if (screen) {
        sendState(c, screen->root, w, state, sticky, above);
        sendState(c, screen->root, w, state, skipTaskbar, skipPager);
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = w;
        ev.type = desktop;
        ev.data.data32[0] = allDesktops;
        ev.data.data32[1] = 1;
        xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&ev));
    }
    xcb_flush(c);
}

} // namespace sv

#include "app/AppDelegate.h"

#include <QApplication>

#include <cstdlib>
#include <syslog.h>

int main(int argc, char **argv)
{
    // Wayland does not let a client place its windows or keep them above
    // others, which the caption bar needs; XWayland does.
    const bool wayland = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (wayland && qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonivane"));
    QApplication::setQuitOnLastWindowClosed(false);
    openlog("sonivane", LOG_PID, LOG_USER);
    if (wayland && !qEnvironmentVariableIsSet("DISPLAY"))
        syslog(LOG_NOTICE, "running natively on Wayland: the caption bar is placed where the compositor allows");

    sv::AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    return app.exec();
}

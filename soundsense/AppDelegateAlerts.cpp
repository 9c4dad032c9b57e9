// Visual alerts: the alert log, the banner, the screen flash and the alert
// sound, and the menu commands that switch or test them.

#include "app/AppDelegate.h"

#include "platform/AlertSound.h"
#include "soundsense/AlertWindows.h"

#include <QAction>
#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <syslog.h>

namespace sv {

void AppDelegate::showAlert(const QString &label, bool high)
{
    const QDateTime now = QDateTime::currentDateTime();
    alertLog.add(label, high, now);
    syslog(LOG_NOTICE, "alert: %s (%s)", label.toUtf8().constData(), high ? "high" : "normal");
    showBanner(AlertLog::mark(high) + QStringLiteral("  ") + label, high);
    if (high) {
        flash(AlertBanner::colour(true), 6, true);
        playAlertSound();
    } else {
        flash(AlertBanner::colour(false), 2, false);
    }
    // The wash is created after the banner; the banner's name of the sound
    // must stay readable above it.
    if (bannerWindow)
        bannerWindow->raise();
}

QScreen *AppDelegate::alertScreen() const
{
    if (barScreen)
        return barScreen;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        return primary;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

void AppDelegate::showBanner(const QString &text, bool high)
{
    if (bannerWindow) {
        bannerWindow->close(); // deletes itself
        bannerWindow = nullptr;
    }
    QScreen *screen = alertScreen();
    if (!screen)
        return;
    auto *banner = new AlertBanner(text, high, screen);
    banner->show();
    banner->raise();
    bannerWindow = banner;

    QPointer<AppDelegate> self(this);
    QPointer<QWidget> shown(banner);
    QTimer::singleShot(high ? 10000 : 6000, this, [self, shown] {
        if (!self || !shown || self->bannerWindow != shown)
            return; // replaced by a newer banner, which has its own timer
        shown->close();
        self->bannerWindow = nullptr;
    });
}

void AppDelegate::flash(const QColor &color, int pulses, bool allScreens)
{
    for (const QPointer<QWidget> &w : std::as_const(flashWindows)) {
        if (w)
            w->close();
    }
    flashWindows.clear();

    QList<QScreen *> targets;
    if (allScreens) {
        targets = QGuiApplication::screens();
    } else if (QScreen *one = barScreen ? barScreen.data() : QGuiApplication::primaryScreen()) {
        targets = {one};
    }
    QColor opaque = color;
    opaque.setAlphaF(1.0f);
    for (QScreen *screen : std::as_const(targets)) {
        auto *overlay = new FlashOverlay(opaque, pulses, screen);
        overlay->show();
        overlay->raise();
        QPointer<QWidget> w(overlay);
        flashWindows.append(w);
        QPointer<AppDelegate> self(this);
        QTimer::singleShot(FlashOverlay::lifetimeMs(pulses), overlay, [self, w] {
            if (self)
                self->flashWindows.removeAll(w);
            if (w)
                w->close();
        });
    }
}

void AppDelegate::toggleSoundAlerts(QAction *item)
{
    const bool on = !soundAlertsOn.load();
    soundAlertsOn = on;
    if (item)
        item->setChecked(on);
}

void AppDelegate::testNormalAlert()
{
    showAlert(QStringLiteral("doorbell"), false);
}

void AppDelegate::testHighAlert()
{
    showAlert(QStringLiteral("alarm"), true);
}

} // namespace sv

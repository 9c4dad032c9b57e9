// The status menu (on the tray icon, or in the main window's menu bar where
// the desktop has no tray), the application menu bar and the display
// submenu, built from the menu model.

#include "app/AppDelegate.h"

#include "app/MenuModel.h"
#include "display/CaptionWindows.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>

namespace sv {

namespace {

// How long to keep looking for a tray host that starts after us.
constexpr int trayRetries = 10;
constexpr int trayRetryMs = 500;

QIcon statusIcon()
{
    QIcon icon(QStringLiteral(":/icons/sonivane.svg"));
    if (!icon.isNull() && !icon.pixmap(32, 32).isNull())
        return icon;
    // No SVG support: draw the initials.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 136, 229));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(pixmap.rect(), 6, 6);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("SV"));
    return QIcon(pixmap);
}

QString screenName(const QScreen *screen)
{
    const QString described = (screen->manufacturer() + QLatin1Char(' ') + screen->model()).trimmed();
    return described.isEmpty() ? screen->name() : described;
}

QVariant toVariant(const CarriedValue &value)
{
    if (const double *d = std::get_if<double>(&value))
        return *d;
    if (const int *i = std::get_if<int>(&value))
        return *i;
    return {};
}

} // namespace

namespace {

using Handler = std::function<void(AppDelegate &, QAction *)>;

Handler handlerFor(Command command)
{
    switch (command) {
    case Command::toggleListening: return [](AppDelegate &d, QAction *a) { d.toggleListening(a); };
    case Command::restartListening: return [](AppDelegate &d, QAction *) { d.restartListening(); };
    case Command::showWindow: return [](AppDelegate &d, QAction *) { d.showWindow(); };
    case Command::toggleBar: return [](AppDelegate &d, QAction *) { d.toggleBar(); };
    case Command::toggleInteractive: return [](AppDelegate &d, QAction *a) { d.toggleInteractive(a); };
    case Command::recenter: return [](AppDelegate &d, QAction *) { d.recenter(); };
    case Command::selectDisplay: return [](AppDelegate &d, QAction *a) { d.selectDisplay(a); };
    case Command::toggleFollow: return [](AppDelegate &d, QAction *a) { d.toggleFollow(a); };
    case Command::moveTop: return [](AppDelegate &d, QAction *) { d.moveTop(); };
    case Command::moveBottom: return [](AppDelegate &d, QAction *) { d.moveBottom(); };
    case Command::setWidthFromMenu: return [](AppDelegate &d, QAction *a) { d.setWidthFromMenu(a); };
    case Command::setHeightFromMenu: return [](AppDelegate &d, QAction *a) { d.setHeightFromMenu(a); };
    case Command::setFontFromMenu: return [](AppDelegate &d, QAction *a) { d.setFontFromMenu(a); };
    case Command::setThemeFromMenu: return [](AppDelegate &d, QAction *a) { d.setThemeFromMenu(a); };
    case Command::toggleSoundAlerts: return [](AppDelegate &d, QAction *a) { d.toggleSoundAlerts(a); };
    case Command::testNormalAlert: return [](AppDelegate &d, QAction *) { d.testNormalAlert(); };
    case Command::testHighAlert: return [](AppDelegate &d, QAction *) { d.testHighAlert(); };
    case Command::clearTranscript: return [](AppDelegate &d, QAction *) { d.clearTranscript(); };
    case Command::saveDiagnostics: return [](AppDelegate &d, QAction *) { d.saveDiagnostics(); };
    // Not QApplication::quit(): that asks every window to close first, and
    // the main window only hides when asked.
    case Command::quit: return [](AppDelegate &, QAction *) { QCoreApplication::exit(0); };
    default: return {};
    }
}

} // namespace

void AppDelegate::fillMenu(QMenu *menu, const std::vector<MenuItem> &items)
{
    for (const MenuItem &item : items) {
        switch (item.kind) {
        case MenuItem::Kind::separator:
            menu->addSeparator();
            break;
        case MenuItem::Kind::submenu: {
            QMenu *sub = menu->addMenu(item.title);
            if (item.refillsOnOpen) {
                displaySubmenu = sub;
                connect(sub, &QMenu::aboutToShow, this, [this, sub] { menuNeedsUpdate(sub); });
            } else {
                fillMenu(sub, item.children);
            }
            break;
        }
        case MenuItem::Kind::action: {
            QAction *action = nullptr;
            if (item.command == Command::quit && m_quitItem) {
                // One quit action in both menus: two actions with one
                // shortcut in one window would cancel each other out.
                menu->addAction(m_quitItem);
                break;
            }
            action = menu->addAction(item.title);
            if (!item.shortcut.isEmpty())
                action->setShortcut(QKeySequence(item.shortcut));
            action->setCheckable(item.checkable());
            action->setChecked(item.checked);
            action->setData(toVariant(item.value));
            if (item.command == Command::toggleListening)
                m_pauseItem = action;
            if (item.command == Command::quit)
                m_quitItem = action;
            if (Handler handler = handlerFor(item.command)) {
                connect(action, &QAction::triggered, this, [this, handler, action] { handler(*this, action); });
            } else if (item.command == Command::hide) {
                connect(action, &QAction::triggered, this, [this] {
                    window->hide();
                    panel->hide();
                });
            } else if (item.command == Command::copy) {
                connect(action, &QAction::triggered, this, [this] { winText->copy(); });
            } else if (item.command == Command::selectAll) {
                connect(action, &QAction::triggered, this, [this] { winText->selectAll(); });
            }
            break;
        }
        }
    }
}

void AppDelegate::buildMainMenu()
{
    // Linux has no global menu bar: this one goes onto the main window as
    // soon as it exists.
    m_menuBar = new QMenuBar;
    for (const MenuItem &top : applicationMenu()) {
        QMenu *menu = m_menuBar->addMenu(top.title);
        fillMenu(menu, top.children);
    }
}

void AppDelegate::buildStatusMenu()
{
    MenuSettings settings;
    settings.listening = listening;
    settings.interactive = interactive;
    settings.followMouse = followMouse;
    settings.soundAlertsOn = soundAlertsOn.load();
    settings.themeIndex = appearance.themeIndex;
    QStringList themeNames;
    for (const Theme &t : themes)
        themeNames << t.name;
    m_statusMenu = new QMenu(QStringLiteral("Sonivane"));
    fillMenu(m_statusMenu, sv::statusMenu(settings, themeNames));
    // The keys work wherever the main window has focus, tray or not.
    window->addActions(m_statusMenu->actions());

    statusItem = new QSystemTrayIcon(statusIcon(), this);
    statusItem->setToolTip(QStringLiteral("Sonivane"));
    connect(statusItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A click on the icon is how a tray user "reopens" the application.
        if (reason == QSystemTrayIcon::Trigger)
            applicationShouldHandleReopen();
    });
    statusItem->setContextMenu(m_statusMenu);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        statusItem->show();
        return;
    }
    // No tray: the same menu joins the menu bar so every command stays
    // reachable, and the tray is looked for again a few times, since its
    // host may start after us.
    window->menuBar()->addMenu(m_statusMenu)->setText(QStringLiteral("Captions"));
    auto *retry = new QTimer(this);
    retry->setInterval(trayRetryMs);
    connect(retry, &QTimer::timeout, this, [this, retry, tries = 0]() mutable {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            statusItem->show();
            retry->deleteLater();
        } else if (++tries >= trayRetries) {
            retry->deleteLater();
        }
    });
    retry->start();
}

void AppDelegate::menuNeedsUpdate(QMenu *menu)
{
    if (!displaySubmenu || menu != displaySubmenu)
        return;
    menu->clear();
    const QList<QScreen *> screens = QGuiApplication::screens();
    QStringList names;
    std::optional<int> current;
    for (int i = 0; i < screens.size(); ++i) {
        names << screenName(screens[i]);
        if (barScreen && screens[i] == barScreen)
            current = i;
    }
    const std::vector<MenuItem> items = displayItems(names, current);
    for (size_t i = 0; i < items.size(); ++i) {
        QAction *action = menu->addAction(items[i].title);
        action->setCheckable(true);
        action->setChecked(items[i].checked);
        action->setData(QVariant::fromValue(screens[int(i)]));
        connect(action, &QAction::triggered, this, [this, action] { selectDisplay(action); });
    }
}

} // namespace sv

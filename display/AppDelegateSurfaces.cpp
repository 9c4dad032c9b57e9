// The caption surfaces: building them, placing the floating bar, following
// the pointer's screen, locking, showing and hiding.

#include "app/AppDelegate.h"

#include "display/CaptionWindows.h"
#include "display/DragView.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace sv {

AppDelegate::Surface AppDelegate::makeTranscript(bool drag)
{
    auto *background = new DragView(drag);
    background->resize(760, 440);
    auto *text = new QTextEdit(background);
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    // Selectable text shows a caret, which next to the live line reads as
    // something still being typed.
    text->setCursorWidth(0);
    // The background view paints the theme's colour; the text view and its
    // viewport draw nothing behind the text.
    text->setAttribute(Qt::WA_TranslucentBackground);
    text->viewport()->setAutoFillBackground(false);
    text->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setLineWrapMode(QTextEdit::WidgetWidth);
    if (drag) {
        // The bar's text is not selectable: a press on it drags the bar.
        text->setTextInteractionFlags(Qt::NoTextInteraction);
        text->viewport()->installEventFilter(background);
        text->setFocusPolicy(Qt::NoFocus);
    } else {
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    // The text sits 22 points in from the sides and 16 from top and bottom.
    auto *layout = new QVBoxLayout(background);
    layout->setContentsMargins(22, 16, 22, 16);
    layout->addWidget(text);
    return {background, text};
}

void AppDelegate::place()
{
    QScreen *screen = barScreen ? barScreen.data() : mouseScreen();
    if (!screen) {
        const QList<QScreen *> screens = QGuiApplication::screens();
        if (screens.isEmpty())
            return;
        screen = screens.first();
    }
    if (!panel)
        return;
    const QRectF frame = barFrame(screen->availableGeometry(), appearance.widthFraction, appearance.barHeight, currentPos);
    panel->setScreen(screen);
    panel->setGeometry(frame.toRect());
}

QScreen *AppDelegate::mouseScreen() const
{
    const QPoint pointer = QCursor::pos();
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->geometry().contains(pointer))
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

void AppDelegate::showWindow()
{
    window->show();
    window->raise();
    window->activateWindow();
}

void AppDelegate::toggleBar()
{
    if (panel->isVisible())
        panel->hide();
    else
        panel->showRegardless();
}

void AppDelegate::moveTop()
{
    currentPos = BarPosition::top;
    place();
}

void AppDelegate::moveBottom()
{
    currentPos = BarPosition::bottom;
    place();
}

void AppDelegate::recenter()
{
    barScreen = mouseScreen();
    place();
    panel->showRegardless();
}

void AppDelegate::toggleInteractive(QAction *item)
{
    const bool was = interactive;
    interactive = !was;
    if (item)
        item->setChecked(was);
    panel->setClickThrough(!interactive);
    if (interactive)
        panel->showRegardless();
}

void AppDelegate::selectDisplay(QAction *item)
{
    auto *screen = item ? item->data().value<QScreen *>() : nullptr;
    if (!screen || !QGuiApplication::screens().contains(screen))
        return;
    barScreen = screen;
    place();
    panel->showRegardless();
}

void AppDelegate::toggleFollow(QAction *item)
{
    followMouse = !followMouse;
    if (item)
        item->setChecked(followMouse);
    if (followTimer) {
        followTimer->stop();
        followTimer->deleteLater();
        followTimer = nullptr;
    }
    if (followMouse) {
        followTimer = new QTimer(this);
        followTimer->setInterval(400);
        QPointer<AppDelegate> self(this);
        connect(followTimer, &QTimer::timeout, this, [self] {
            if (self)
                self->followTick();
        });
        followTimer->start();
    }
}

void AppDelegate::followTick()
{
    QScreen *screen = mouseScreen();
    if (!screen || screen == barScreen)
        return;
    barScreen = screen;
    place();
}

bool AppDelegate::windowShouldClose()
{
    window->hide();
    return false;
}

bool AppDelegate::applicationShouldHandleReopen()
{
    showWindow();
    return true;
}

} // namespace sv

#include "CaptionWindows.h"

#include "platform/X11Window.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWindow>

namespace sv {

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (shouldClose && !shouldClose())
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}

FloatingBar::FloatingBar()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Sonivane — Caption bar"));
    setMinimumSize(320, 90);
}

void FloatingBar::setContentWidget(QWidget *content)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void FloatingBar::showRegardless()
{
    show();
    raise();
}

void FloatingBar::setClickThrough(bool clickThrough)
{
    // Qt applies a changed window flag by hiding the window; put it back
    // where it was, as it was.
    const bool wasVisible = isVisible();
    const QRect frame = geometry();
    setWindowFlag(Qt::WindowTransparentForInput, clickThrough);
    setGeometry(frame);
    if (wasVisible)
        showRegardless();
}

void FloatingBar::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    makeStickyEverywhere(windowHandle());
}

} // namespace sv

#pragma once

#include <QMainWindow>
#include <QWidget>

#include <functional>

namespace sv {

// The main window: an ordinary window whose close button only hides it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Asked when the user closes the window; false keeps it open.
    std::function<bool()> shouldClose;

protected:
    void closeEvent(QCloseEvent *event) override;
};

// The floating caption bar: frameless and translucent, above other windows,
// never focused, skipped by taskbar and pager and present on every desktop
// (on X11), click-through while locked.
class FloatingBar : public QWidget {
    Q_OBJECT
public:
    FloatingBar();
    // The bar's background view, filling the whole window.
    void setContentWidget(QWidget *content);
    // Shows the bar without taking focus from the active application.
    void showRegardless();
    void setClickThrough(bool clickThrough);

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace sv

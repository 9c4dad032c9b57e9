#pragma once

#include <QColor>
#include <QWidget>

namespace sv {

// The background of a caption surface: paints the theme's background colour
// (rounded for the floating bar) and, when `drag` is set, moves its window
// when pressed on, or resizes it when pressed near an edge. The window system
// does the moving (QWindow::startSystemMove), so it works on any window
// manager and snaps like any other window.
class DragView : public QWidget {
    Q_OBJECT
public:
    DragView(bool drag, QWidget *parent = nullptr);

    void setBackground(const QColor &color);
    QColor background() const { return m_background; }
    double cornerRadius() const { return m_drag ? 18.0 : 0.0; }

    // Starts a system move or resize for a press at `pos` (widget
    // coordinates); used also for presses on the text inside the bar.
    bool beginDrag(const QPoint &pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_drag;
    QColor m_background = Qt::black;
};

} // namespace sv

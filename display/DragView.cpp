#include "DragView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

namespace sv {

namespace {
constexpr int resizeMargin = 8;
}

DragView::DragView(bool drag, QWidget *parent)
    : QWidget(parent)
    , m_drag(drag)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void DragView::setBackground(const QColor &color)
{
    m_background = color;
    update();
}

void DragView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (m_drag)
        p.fillRect(rect(), Qt::transparent);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius(), cornerRadius());
    p.fillPath(path, m_background);
}

bool DragView::beginDrag(const QPoint &pos)
{
    if (!m_drag)
        return false;
    QWindow *w = window()->windowHandle();
    if (!w)
        return false;
    Qt::Edges edges;
    if (pos.x() < resizeMargin)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - resizeMargin)
        edges |= Qt::RightEdge;
    if (pos.y() < resizeMargin)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - resizeMargin)
        edges |= Qt::BottomEdge;
    return edges ? w->startSystemResize(edges) : w->startSystemMove();
}

void DragView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && beginDrag(event->position().toPoint()))
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

bool DragView::eventFilter(QObject *watched, QEvent *event)
{
    // The bar's text cannot be selected, so a press on it moves the bar too.
    if (event->type() == QEvent::MouseButtonPress) {
        auto *press = static_cast<QMouseEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (press->button() == Qt::LeftButton && widget &&
            beginDrag(widget->mapTo(this, press->position().toPoint())))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace sv
